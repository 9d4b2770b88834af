// equation and polymul end to end in the stream display: transcripts and
// saved files compared byte for byte.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "process.h"
#include "support/temp_folder.h"

namespace {

const std::string kEquation = e2e::ProgramCommand(EQUATION_PROGRAM, "equation.exe");
const std::string kPolymul = e2e::ProgramCommand(POLYMUL_PROGRAM, "polymul.exe");

const std::string kEquationIntro =
    "本ソフトは、(26a2b+c)(3a-2b2)(2ab-1)などを数式展開するソフトです。\n"
    "式は、　(26a2b+c)(3a-2b2)(2ab-1) ないし(a+b)3や(-256a+b)2(a+b-c)3(a-c)2　などと入力してください。\n"
    "(  )の中の各項、上の最初の例の最初の項は26a2bですが、最初の文字の前の数、即ち26は項の定数、文字の後が乗数を示します。\n"
    "(a+b)3は（　　)の後が乗数を示します。\n"
    "最初に定数を設定したい場合は(-3)(a+b)3とすれば、-3*(a+b)3と同じ意味で計算されます。\n"
    "(  )を一個として10個まで処理できます。\n"
    "文字はa-zまでの小文字でお願いします。a,b,cの順で使うと計算が速いです。\n"
    "例えば、aaaとするのでなくa3としてください。\n"
    "定数は整数、乗数は正の整数で設定してください。\n"
    "式をファイル入力の際には、プログラムファイルと同じフォルダにをsiki.txt　というように、テキストファイルで作成してください。\n";
const std::string kUnderstood = "上記のことが、理解できましたか(y/n)? ";
const std::string kMode = "式は、手動入力ですか、ファイル入力ですか(m/f)? ";
const std::string kSave = "式は、ファイル出力しますか(y/n)? ";
const std::string kForm = "式は通常書き込みをしますか、配列形式で書き込みをしますか(n/d)? ";
const std::string kEnd = "プログラムを終了しますか(y/n)? ";
const std::string kSaved = "プログラムファイルのある箇所へテキストファイルで保存されました。\n";
const std::string kRecognition = "認識がうまくいかなかったので、再度入力してください。\n";

class Programs : public ::testing::Test {
 protected:

  e2e::Run Run(const std::string& program, const std::string& input) {
    return e2e::RunProgram("cd " + folder + " && XDG_CONFIG_HOME=" + folder + "/config TESSEL_DISPLAY=stream " +
                               program,
                           input);
  }
  std::string File(const std::string& name) {
    std::ifstream in(folder + "/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
  }
  bool Exists(const std::string& name) { return access((folder + "/" + name).c_str(), F_OK) == 0; }

  test_support::TempFolder scratch{"tessel-programs", false};
  const std::string folder = scratch.path();
};

TEST_F(Programs, EquationSavesTheArrayForm) {
  e2e::Run r = Run(kEquation, "y\nm\n(a+b)(a-b)\ny\nd\nans1.txt\ny\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, kEquationIntro + kUnderstood + "y\n" + kMode + "m\n式は ? (a+b)(a-b)\n(a+b)(a-b)\n" +
                       " Column Number          = 2 \n Max Item Number        = 2 \n Letter Number          = 2 \n"
                       "ただ今、式を展開中\n\nただ今、式を整理中\n\nAnswer =+a2-b2\n" +
                       kSave + "y\n" + kForm + "d\nファイル名を ans1.txt　というように指定してください。? ans1.txt\n" +
                       kSaved + "\n" + kEnd + "y\n");
  EXPECT_EQ(File("ans1.txt"), " 2 , 2 \r\n 1 , 1 , 2 , 0 \r\n-1 , 1 , 0 , 2 \r\n+a2-b2\r\n\x1A");
  // A new answer file gets the mode any new file gets here (the mask of the
  // process that started the program), so that others can read it too.
  if (!e2e::WindowsBuild()) {
    struct stat st {};
    const mode_t mask = umask(022);
    umask(mask);
    ASSERT_EQ(stat((folder + "/ans1.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  }
}

TEST_F(Programs, EquationNormalFormAndRefusedAnswers) {
  e2e::Run r = Run(kEquation, "yes\n y \nx\nm\n\n(a+b)3\ny\nD\nn\n\nans.txt\nok\nq\ny\n");
  EXPECT_EQ(r.exitCode, 0);
  // "yes" asks again, " y " is y; "x" clears the screen and asks again; the
  // empty line asks "式は " again; "D" asks the form again.
  EXPECT_NE(r.out.find(kUnderstood + "yes\n" + kUnderstood + " y \n" + kMode + "x\n" + kMode + "m\n式は ? \n式は ? (a+b)3\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("Answer =+a3+3a2b+3ab2+b3\n"), std::string::npos);
  EXPECT_NE(r.out.find(kForm + "D\n" + kForm + "n\n"), std::string::npos);
  EXPECT_NE(r.out.find(kSaved + "ok? ok\n" + kEnd + "q\n" + kEnd + "y\n"), std::string::npos);
  EXPECT_EQ(File("ans.txt"), "+a3+3a2b+3ab2+b3\r\n\x1A");
}

TEST_F(Programs, EquationFromAFile) {
  Write("siki.txt", "(a+b)(a-b)\r\n(x+y)(x-y)\r\n");
  Write("c:siki.txt", "(a+1)(a-1)\r\n");
  e2e::Run r = Run(kEquation,
                   "y\nf\n\nnone.txt\nwhatever\nf\nsiki.txt\nn\nn\nf\nc:siki.txt\n\"c:siki.txt\"\nn\ny\n");
  // (On Windows the quoted name leads elsewhere, and the dialogue runs out
  // of input while it still waits: status 3.)
  EXPECT_EQ(r.exitCode, e2e::WindowsBuild() ? 3 : 0);
  const std::string ask = "ファイル名をsiki.txt　というように、\nテキストファイルで指定してください。? ";
  // An empty name asks both lines again; a missing name waits at "ok".
  EXPECT_NE(r.out.find(kMode + "f\n" + ask + "\n" + ask + "none.txt\nnone.txtは存在しません。入力し直して下さい。\nok? whatever\n" + kMode),
            std::string::npos);
  // Only the first line of the file is used.
  EXPECT_NE(r.out.find(ask + "siki.txt\n(a+b)(a-b)\n"), std::string::npos);
  EXPECT_NE(r.out.find("Answer =+a2-b2\n"), std::string::npos);
  // A name with a colon is refused by INPUT; in double quotes it is taken
  // (on Windows it names siki.txt in drive C's current folder instead).
  const std::string refused = ask + "c:siki.txt\nもう一度入力してください\nテキストファイルで指定してください。? \"c:siki.txt\"\n";
  EXPECT_NE(r.out.find(refused), std::string::npos);
  if (!e2e::WindowsBuild()) {
    EXPECT_NE(r.out.find(refused + "(a+1)(a-1)\n"), std::string::npos);
    EXPECT_NE(r.out.find("Answer =+a2-1\n"), std::string::npos);
  }
}

TEST_F(Programs, EquationRefusals) {
  e2e::Run r = Run(kEquation, "y\nm\n(a+b)11\nfine\nm\n(a+b)\nm\n(3)(4)\nm\n(a-a)(b+c)\ny\nd\nzero.txt\ny\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("(a+b)11\n(   )の数が10よりも大きいので、処理できません。\n再度入力してください。\nok ? fine\n" + kMode),
            std::string::npos);
  // (a+b) alone passes the parser and has no product.
  EXPECT_NE(r.out.find("(a+b)\n Column Number          = 1 \n Max Item Number        = 2 \n Letter Number          = 2 \n"
                       "ただ今、式を展開中\n" + kRecognition + kMode),
            std::string::npos);
  EXPECT_NE(r.out.find("(3)(4)\n" + kRecognition + kMode), std::string::npos);
  EXPECT_NE(r.out.find("Answer =\n"), std::string::npos);
  EXPECT_EQ(File("zero.txt"), " 0 , 3 \r\n\r\n\x1A");
}

TEST_F(Programs, EquationRuntimeErrorNamesItsLine) {
  e2e::Run r = Run(kEquation, "y\nm\n(a+b+c+d+e+f+g+h+i+j)(a)\n");
  EXPECT_EQ(r.exitCode, 1);
  // The message library installed with the program says what 9 means.
  EXPECT_NE(r.out.find("\nMAIN.BAS [2083行]:エラー[9]\n配列の添字が範囲を超えているか、配列が大きすぎます\n"
                       "任意のキーを押してください"),
            std::string::npos)
      << r.out;
}

// The product table is dimensioned with the work tables, before the line
// that announces the expansion, also where huge coefficients need the
// literal algorithms.
TEST_F(Programs, ATableTooLargeFailsBeforeTheExpansionLine) {
  e2e::Run r = Run(kEquation, "y\nm\n(1D200a+b+c+d+e+f)10\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find(" Letter Number          = 6 \n\nMAIN.BAS [4010行]:エラー[9]\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("ただ今、式を展開中"), std::string::npos);
}

// An answer file that cannot be written does not end the run: the error's
// text, no partial file, and the name is asked again.
TEST_F(Programs, AFailedSaveAsksForAnotherName) {
  const std::string ask = "ファイル名を ans1.txt　というように指定してください。? ";
  e2e::Run r = Run(kEquation, "y\nm\n(a+b)(a-b)\ny\nd\nnofolder/x.txt\nans1.txt\ny\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find(ask + "nofolder/x.txt\nnofolder/x.txtに保存できませんでした。エラー[63] "
                             "ファイルまたはフォルダが見つかりません\n" + ask + "ans1.txt\n" + kSaved + "\n" + kEnd),
            std::string::npos)
      << r.out;
  EXPECT_EQ(File("ans1.txt"), " 2 , 2 \r\n 1 , 1 , 2 , 0 \r\n-1 , 1 , 0 , 2 \r\n+a2-b2\r\n\x1A");
  const std::string normal = "ファイル名を ans.txt　というように指定してください。? ";
  if (!e2e::WindowsBuild()) {  // the file size limit and /dev/full are this system's
    // A write that fails half way (the file size limit stands in for a full
    // disk, and must not end the program by its signal): nothing of it is
    // left, and an older answer of that name stays as it was; the normal form
    // asks again too.
    Write("old.txt", "the old answer\r\n\x1A");
    r = e2e::RunProgram("cd " + folder + " && { (ulimit -f 1; XDG_CONFIG_HOME=" + folder +
                            "/config TESSEL_DISPLAY=stream exec " + kEquation + ") | cat; }",
                        "y\nm\n(a+b+c+d)6\ny\nd\nbig.txt\n\n/dev/full\nold.txt\n");
    EXPECT_NE(r.out.find(ask + "big.txt\nbig.txtに保存できませんでした。エラー[67] "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(ask + "\n" + ask + "/dev/full\n/dev/fullに保存できませんでした。エラー[67] "), std::string::npos);
    EXPECT_NE(r.out.find(ask + "old.txt\nold.txtに保存できませんでした。エラー[67] "), std::string::npos);
    EXPECT_FALSE(Exists("big.txt"));
    EXPECT_EQ(File("old.txt"), "the old answer\r\n\x1A");
    EXPECT_EQ(e2e::RunProgram("ls -A -I config -I ans1.txt " + folder, "").out, "old.txt\n");
    EXPECT_EQ(access("/dev/full", F_OK), 0);  // only files are ever removed
  }
  r = Run(kEquation, "y\nm\n(a+b)(a-b)\ny\nn\nnofolder/x.txt\nans.txt\nok\ny\n");
  EXPECT_NE(r.out.find(normal + "nofolder/x.txt\nnofolder/x.txtに保存できませんでした。エラー[63] "
                                "ファイルまたはフォルダが見つかりません\n" + normal + "ans.txt\n" + kSaved + "ok? "),
            std::string::npos)
      << r.out;
  EXPECT_EQ(File("ans.txt"), "+a2-b2\r\n\x1A");
}

// Text files made on Linux: lines ended by LF alone.
TEST_F(Programs, FilesWithLineFeedsAlone) {
  Write("siki.txt", "(a+b)(a-b)\n(x+y)2\n");
  Write("lf.txt", " 2 , 2 \n 1 , 1 , 2 , 0 \n-1 , 1 , 0 , 2 \n+a2-b2\n");
  e2e::Run r = Run(kEquation, "y\nf\nsiki.txt\nn\ny\n");
  EXPECT_NE(r.out.find("siki.txt\n(a+b)(a-b)\n Column Number          = 2 \n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Answer =+a2-b2\n"), std::string::npos);
  r = Run(kPolymul, "y\n2\nlf.txt\nlf.txt\nn\ny\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Answer =+a4-2a2b2+b4\n"), std::string::npos) << r.out;
}

TEST_F(Programs, NormalFormLinesBreakAfterPassing100Characters) {
  e2e::Run r = Run(kEquation, "y\nm\n(a+b+c+d+e)4\ny\nn\nlong.txt\nok\ny\n");
  std::string text = File("long.txt");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\x1A');
  std::istringstream lines(text.substr(0, text.size() - 1));
  std::string line, all;
  int count = 0;
  while (std::getline(lines, line)) {
    ASSERT_EQ(line.back(), '\r');
    line.pop_back();
    all += line;
    ++count;
    if (lines.peek() == EOF) break;
    ASSERT_GT(line.size(), 100u);
    // The term that carried the line past 100 ends it.
    size_t last = line.find_last_of("+-");
    EXPECT_LE(last, 100u);
  }
  EXPECT_GT(count, 3);
  EXPECT_NE(r.out.find("Answer =" + all.substr(0, 40)), std::string::npos);
}

// Answers ended by CR LF (a file written on Windows) make the same dialogue
// and the same file as answers ended by LF: CR LF between two answers is one
// Enter, not an Enter and an empty answer.
TEST_F(Programs, CrLfBetweenAnswersIsOneEnter) {
  const std::string answers = "y\nm\n(a+b)2\ny\nd\nans.txt\ny\n";
  e2e::Run lf = Run(kEquation, answers);
  const std::string lfFile = File("ans.txt");
  std::string crlf;
  for (char c : answers) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  e2e::Run r = Run(kEquation, crlf);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, lf.out);
  EXPECT_EQ(File("ans.txt"), lfFile);
}

const std::string kPolymulIntro =
    "本ソフトは、数式展開、数式加算のソフトで、配列形式のファイル出力をしたファイルの数式を乗算するソフトです。\n"
    "複数のファイルを、数式展開、数式加算のソフトで、配列形式のファイル出力をして、作成してください。\n"
    "10個まで可能です。\n";
const std::string kCount = "input file number(ファイルの数:これが乗算する個数に当たります） ? ";
const std::string kName = "input file name(ex. ans1.txt) ? ";
const std::string kLimit = "(   )の数が10よりも大きいので、処理できません。\n再度入力してください。\nok ? ";

class Polymul : public Programs {
 protected:
  void SetUp() override {
    Programs::SetUp();
    Write("plus.txt", " 2 , 2 \r\n 1 , 1 , 1 , 0 \r\n 1 , 1 , 0 , 1 \r\n+a+b\r\n\x1A");
    Write("minus.txt", " 2 , 2 \r\n 1 , 1 , 1 , 0 \r\n-1 , 1 , 0 , 1 \r\n+a-b\r\n\x1A");
    Write("three.txt", " 1 , 3 \r\n 1 , 2 , 0 , 0 , 1 \r\n+2c\r\n\x1A");
    Write("five.txt", " 1 , 5 \r\n-1 , 1 , 0 , 0 , 0 , 0 , 1 \r\n-e\r\n\x1A");
  }
};

TEST_F(Polymul, ProductOfTwoFiles) {
  e2e::Run r = Run(kPolymul, "yes\ny\n2\nplus.txt\nminus.txt\ny\nd\nprod.txt\ny\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, kPolymulIntro + kUnderstood + "yes\n" + kUnderstood + "y\n" + kCount + "2\n" +
                       "file　no 1 \n" + kName + "plus.txt\nfile　no 2 \n" + kName + "minus.txt\n" +
                       "HENSU= 2 \nITEMNO= 2 \nCOLUM= 2 \n"
                       " Column Number          = 2 \n Max Item Number        = 2 \n Letter Number          = 2 \n"
                       "ただ今、式を展開中\n\nただ今、式を整理中\n\nAnswer =+a2-b2\n" +
                       kSave + "y\n" + kForm + "d\nファイル名を ans1.txt　というように指定してください。? prod.txt\n" +
                       kSaved + "\n" + kEnd + "y\n");
  EXPECT_EQ(File("prod.txt"), " 2 , 2 \r\n 1 , 1 , 2 , 0 \r\n-1 , 1 , 0 , 2 \r\n+a2-b2\r\n\x1A");
  // A saved product is the input of a later multiplication.
  r = Run(kPolymul, "y\n2\nprod.txt\nprod.txt\nn\ny\n");
  EXPECT_NE(r.out.find("Answer =+a4-2a2b2+b4\n"), std::string::npos) << r.out;
}

TEST_F(Polymul, LetterCountsThreeAndFive) {
  e2e::Run r = Run(kPolymul, "y\n2\nthree.txt\nfive.txt\nn\ny\n");
  EXPECT_NE(r.out.find("HENSU= 5 \nITEMNO= 1 \nCOLUM= 2 \n"), std::string::npos);
  EXPECT_NE(r.out.find("Answer =-2ce\n"), std::string::npos);
}

TEST_F(Polymul, OneTenAndElevenFiles) {
  e2e::Run r = Run(kPolymul, "y\n1\nplus.txt\nn\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("HENSU= 2 \nITEMNO= 2 \nCOLUM= 1 \n Column Number          = 1 \n"
                       " Max Item Number        = 2 \n Letter Number          = 2 \nただ今、式を展開中\n" +
                       kLimit + "n\n"),
            std::string::npos)
      << r.out;
  // Ten files are as many as are multiplied.
  std::string ten = "y\n10\n";
  for (int i = 0; i < 10; ++i) ten += "plus.txt\n";
  r = Run(kPolymul, ten + "n\ny\n");
  EXPECT_NE(r.out.find("COLUM= 10 \n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Answer =+a10+10a9b+45a8b2+120a7b3+210a6b4+252a5b5+210a4b6+120a3b7+45a2b8+10ab9"),
            std::string::npos)
      << r.out;
  std::string input = "y\n11\n";
  for (int i = 0; i < 11; ++i) input += "plus.txt\n";
  input += "y\nn\n";
  r = Run(kPolymul, input);
  EXPECT_NE(r.out.find("file　no 11 \n" + kName + "plus.txt\nHENSU= 2 \nITEMNO= 2 \nCOLUM= 11 \n" + kLimit + "y\n" +
                       kUnderstood + "n\n"),
            std::string::npos)
      << r.out;
}

// A file without terms among others with huge coefficients: the product is
// empty, and the run goes on.
TEST_F(Polymul, AFileWithoutTermsAmongHugeCoefficients) {
  Write("zero.txt", " 0 , 3 \r\n\r\n\x1A");
  Write("huge.txt", " 3 , 1 \r\n 1 , 1D+151 , 2 \r\n 1 , 1D+151 , 1 \r\n 1 , 1 , 0 \r\n+1D+151a2+1D+151a+1\r\n\x1A");
  e2e::Run r = Run(kPolymul, "y\n3\nzero.txt\nhuge.txt\nhuge.txt\nn\ny\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("ただ今、式を展開中\n\nただ今、式を整理中\n\nAnswer =\n" + kSave + "n\n" + kEnd + "y\n"),
            std::string::npos)
      << r.out;
}

// Header counts are taken as the files give them: a fraction stays a
// single, a negative count is not raised to 0.
TEST_F(Polymul, HeaderCountsAsGiven) {
  Write("half.txt", " 2 , 2.5 \r\n 1 , 1 , 1 , 0 \r\n 1 , 1 , 0 , 1 \r\n+a+b\r\n\x1A");
  e2e::Run r = Run(kPolymul, "y\n2\nhalf.txt\nhalf.txt\ny\nd\nout.txt\ny\n");
  EXPECT_NE(r.out.find("HENSU= 2.5 \n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Answer =+b2+ab+ab+a2\n"), std::string::npos) << r.out;
  EXPECT_EQ(File("out.txt"), " 4 , 2.5 \r\n 1 , 1 , 0 , 2 \r\n 1 , 1 , 1 , 1 \r\n 1 , 1 , 1 , 1 \r\n"
                             " 1 , 1 , 2 , 0 \r\n+b2+ab+ab+a2\r\n\x1A");
  Write("negative.txt", "-1 , 2 \r\n\x1A");
  r = Run(kPolymul, "y\n1\nnegative.txt\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("HENSU= 2 \nITEMNO=-1 \nCOLUM= 1 \n\nMAIN.BAS [90行]:エラー[5]\n"), std::string::npos) << r.out;
}

// A negative fractional letter count is rounded, not cut: -0.4 is no
// letter, -0.6 is -1 letter, which no table can hold (error 9).
TEST_F(Polymul, AFractionalLetterCountIsRounded) {
  Write("less.txt", " 1 , -0.4 \r\n 1 , 1 \r\n+1\r\n\x1A");
  e2e::Run r = Run(kPolymul, "y\n2\nless.txt\nless.txt\nn\ny\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Answer =\n"), std::string::npos) << r.out;
  Write("more.txt", " 1 , -0.6 \r\n 1 , 1 \r\n+1\r\n\x1A");
  r = Run(kPolymul, "y\n2\nmore.txt\nmore.txt\n\n");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("MAIN.BAS [4034行]:エラー[9]\n"), std::string::npos) << r.out;
}

// A coefficient at the largest double is saved as 1.79769313486232D+308,
// above the double itself: the saved product must be read back.
TEST_F(Polymul, TheLargestDoubleReadsBack) {
  Write("max.txt", " 1 , 1 \r\n 1 , 1.7976931348623157D+308 , 1 \r\n\x1A");
  Write("one.txt", " 1 , 1 \r\n 1 , 1 , 1 \r\n\x1A");
  e2e::Run r = Run(kPolymul, "y\n2\nmax.txt\none.txt\ny\nd\nprod.txt\ny\n");
  EXPECT_EQ(File("prod.txt"), " 1 , 1 \r\n 1 , 1.79769313486232D+308 , 2 \r\n+1.79769313486232D+308a2\r\n\x1A");
  r = Run(kPolymul, "y\n2\nprod.txt\none.txt\nn\ny\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Answer =+1.79769313486232D+308a3\n"), std::string::npos) << r.out;
}

TEST_F(Polymul, MissingSecondFile) {
  e2e::Run r = Run(kPolymul, "y\n2\nplus.txt\nnone.txt\n2\nplus.txt\nminus.txt\nn\ny\n");
  EXPECT_NE(r.out.find(kName + "none.txt\nnone.txtは存在しません。入力し直して下さい。\n" + kCount + "2\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("Answer =+a2-b2\n"), std::string::npos);
}

}  // namespace

namespace {

// The form's title becomes the terminal's title: the pane's title once it is
// the expected one or the program asks its first question (under load the
// title may take a moment to arrive).
std::string TerminalTitle(const std::string& program, const std::string& expected) {
  const std::string session = "tessel-title-" + std::to_string(getpid());
  std::string start = e2e::Tmux() + "new-session -d -s " + session + " -x 80 -y 24 \"TESSEL_DISPLAY=terminal " + program +
                      "; sleep 5\"";
  if (std::system(start.c_str()) != 0) return "";
  std::string title;
  for (int i = 0; i < 50; ++i) {
    usleep(100000);
    e2e::Run t = e2e::RunProgram(e2e::Tmux() + "display -p -t " + session + " '#{pane_title}'", "");
    title = t.out.substr(0, t.out.find('\n'));
    if (title == expected) break;
    e2e::Run screen = e2e::RunProgram(e2e::Tmux() + "capture-pane -p -t " + session, "");
    if (screen.out.find("(y/n)") != std::string::npos) {
      usleep(300000);
      title = e2e::RunProgram(e2e::Tmux() + "display -p -t " + session + " '#{pane_title}'", "").out;
      title = title.substr(0, title.find('\n'));
      break;
    }
  }
  (void)!std::system((e2e::Tmux() + "kill-session -t " + session + " 2>/dev/null").c_str());
  return title;
}

TEST(ProgramWindows, TitlesComeFromTheForms) {
  if (!e2e::Have("tmux")) GTEST_SKIP() << "tmux is not installed";
  EXPECT_EQ(TerminalTitle(kEquation, "数式展開"), "数式展開");
  EXPECT_EQ(TerminalTitle(kPolymul, "数式乗算（ファイル）"), "数式乗算（ファイル）");
}

}  // namespace

namespace {

// --help and --version answer on standard output and end the program before
// any window opens; any other argument leaves the program as it is.
// The columns a line takes on a terminal: the Japanese characters two each.
size_t Columns(const std::string& utf8) {
  size_t columns = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xC0) == 0x80) continue;
    columns += c >= 0xE3 ? 2 : 1;  // the CJK blocks start at U+3000
  }
  return columns;
}

TEST(CommandLine, OptionsAsDebianToolsTakeThem) {
  for (const auto& [program, name] : {std::pair{kEquation, "equation"}, std::pair{kPolymul, "polymul"}}) {
    const std::string usage = std::string("Usage: ") + name + " [-h | --help] [-V | --version]\n";
    for (const char* option : {"--help", "-h"}) {
      e2e::Run help = e2e::RunProgram("TESSEL_DISPLAY=window DISPLAY= " + program + " " + option, "");
      EXPECT_EQ(help.exitCode, 0) << option;
      EXPECT_EQ(help.out.rfind(usage + "\n", 0), 0u) << help.out;
      EXPECT_NE(help.out.find("TESSEL_DISPLAY"), std::string::npos);
      EXPECT_NE(help.out.find("  3    the input ended"), std::string::npos);
      EXPECT_EQ(help.err, "");
      for (size_t at = 0, end; at < help.out.size(); at = end + 1) {
        end = help.out.find('\n', at);
        EXPECT_LE(Columns(help.out.substr(at, end - at)), 80u) << help.out.substr(at, end - at);
      }
    }
    for (const char* option : {"--version", "-V"}) {
      e2e::Run version = e2e::RunProgram(program + " " + option, "");
      EXPECT_EQ(version.exitCode, 0);
      EXPECT_EQ(version.out, std::string(name) + " " TESSEL_VERSION "\n");
    }
    // An option the programs do not know: a word and the usage, status 2,
    // and no dialogue.
    const struct {
      std::string option, complaint;
    } bad[] = {{"--bogus", "unrecognized option '--bogus'"}, {"-x", "invalid option -- 'x'"},
               {"--helpme", "unrecognized option '--helpme'"}};
    for (const auto& b : bad) {
      e2e::Run r = e2e::RunProgram("TESSEL_DISPLAY=stream " + program + " " + b.option, "n\n");
      EXPECT_EQ(r.exitCode, 2) << b.option;
      EXPECT_EQ(r.out, "") << b.option;
      EXPECT_EQ(r.err, std::string(name) + ": " + b.complaint + "\n" + usage + "Try '" + name +
                           " --help' for more information.\n");
    }
  }
  // Other arguments, and anything after "--", keep their meaning: none.
  for (const char* arguments : {" x", " -- --other", " -"}) {
    e2e::Run other = e2e::RunProgram("TESSEL_DISPLAY=stream " + kEquation + arguments, "y\nm\n(a+b)2\nn\ny\n");
    EXPECT_EQ(other.exitCode, 0) << arguments;
    EXPECT_NE(other.out.find("Answer =+a2+2ab+b2\n"), std::string::npos) << arguments;
  }
}

// The exit statuses a script sees: a finished session 0, a run-time error 1,
// input that ends while the program still waits for keys 3 (not 0: the
// session was cut short).
TEST(CommandLine, ExitStatuses) {
  const struct {
    std::string input;
    int status;
  } cases[] = {
      {"y\nm\n(a+b)2\nn\ny\n", 0},
      {"y\nm\n(a+b+c+d+e+f+g+h+i+j)(a+b)\n\n", 1},
      {"y\nm\n(a+b)2\nn\n", 3},
      {"", 3},
      {"y\nm\n(a+b+c+d+e+f+g+h+i+j)(a+b)\n", 1},  // the input ends in the error's key wait
  };
  for (const auto& c : cases) {
    char dir[] = "/tmp/tessel-e2e-status-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    e2e::Run r = e2e::RunProgram(std::string("XDG_CONFIG_HOME=") + dir + " TESSEL_DISPLAY=stream " + kEquation, c.input);
    EXPECT_EQ(r.exitCode, c.status) << c.input;
    (void)!std::system((std::string("rm -rf ") + dir).c_str());
  }
}

}  // namespace
