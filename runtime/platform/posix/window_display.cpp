// The window display: the text screen in a desktop window (Qt 6 Widgets),
// built as a module of its own that the programs load only when they show a
// window, so that the other displays start without Qt.
// The program keeps running on the GUI thread; the window is served only
// through the run-time's pump: the non-blocking pump processes pending
// events, the blocking wait waits for the next one.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "runtime/platform/display.h"
#include "runtime/platform/encoding.h"

namespace platform {
namespace {

QColor ToQt(const Rgb& c) { return QColor(c.r, c.g, c.b); }

// The cell of a font: the extent of ".".
std::pair<int, int> CellOf(const QFont& font) {
  QFontMetrics m(font);
  return {std::max(1, m.horizontalAdvance(QLatin1Char('.'))), std::max(1, m.height())};
}

// The grid, drawn cell by cell from the text screen, with scroll bars when
// the window is smaller than the grid.
class GridView : public QAbstractScrollArea {
 public:
  explicit GridView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameShape(QFrame::NoFrame);
    blink_.setInterval(500);
    QObject::connect(&blink_, &QTimer::timeout, [this] {
      caretVisible_ = !caretVisible_;
      viewport()->update();
    });
    blink_.start();
    QObject::connect(verticalScrollBar(), &QScrollBar::actionTriggered, [this](int action) {
      ScrollAction(true, action);
    });
    QObject::connect(horizontalScrollBar(), &QScrollBar::actionTriggered, [this](int action) {
      ScrollAction(false, action);
    });
  }

  void Attach(const ScreenSource* screen, WindowHandle window, MessageQueue* queue) {
    screen_ = screen;
    window_ = window;
    queue_ = queue;
  }
  void SetCellFont(const QFont& font);
  int cellWidth() const { return cellWidth_; }
  int cellHeight() const { return cellHeight_; }

  // Follows the screen: scroll ranges and positions, and a repaint when the
  // grid changed.
  void Sync() {
    if (!screen_) return;
    SetBar(verticalScrollBar(), screen_->MaxScrollRow(), screen_->ScrollRow(), VisibleRows());
    SetBar(horizontalScrollBar(), screen_->MaxScrollColumn(), screen_->ScrollColumn(), VisibleColumns());
    if (screen_->Version() != drawn_) {
      drawn_ = screen_->Version();
      caretVisible_ = true;
      viewport()->update();
    }
  }

  QImage GridImage() {
    QImage image(screen_ ? screen_->Columns() * cellWidth_ : 1, screen_ ? screen_->Rows() * cellHeight_ : 1,
                 QImage::Format_RGB32);
    // The background layer over a white bitmap, the text over it.
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(image.rect(), ToQt(kFillPalette[screen_ ? screen_->BackColor() & 15 : 0]));
    DrawGrid(p, 0, 0, false);
    return image;
  }

  void Post(uint32_t message, uint64_t w, int64_t l = 0) {
    if (queue_) queue_->Post({window_, message, w, l});
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), ToQt(kFillPalette[screen_ ? screen_->BackColor() & 15 : 0]));
    if (!screen_) return;
    DrawGrid(p, screen_->ScrollColumn(), screen_->ScrollRow(), true);
  }

  void resizeEvent(QResizeEvent* e) override {
    QAbstractScrollArea::resizeEvent(e);
    Post(WM_SIZE, 0, (ReportedColumns() & 0xFFFF) | ((ReportedRows() & 0xFFFF) << 16));
  }

  void focusInEvent(QFocusEvent* e) override {
    QAbstractScrollArea::focusInEvent(e);
    Post(WM_SETFOCUS, 0);
  }
  void focusOutEvent(QFocusEvent* e) override {
    QAbstractScrollArea::focusOutEvent(e);
    Post(WM_KILLFOCUS, 0);
  }

  void keyPressEvent(QKeyEvent* e) override {
    const int key = e->key();
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (key == Qt::Key_Shift) return Post(WM_KEYDOWN, VK_SHIFT);
    if (key == Qt::Key_Control) return Post(WM_KEYDOWN, VK_CONTROL);
    if (e->modifiers() & Qt::AltModifier) {
      // A system key: of these only F10 is a key of the program (the host
      // decides); Alt with a letter or an editing key types nothing.
      if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return Post(WM_SYSKEYDOWN, VK_F1 + (key - Qt::Key_F1));
      return Post(WM_SYSKEYDOWN, key >= Qt::Key_A && key <= Qt::Key_Z ? 'A' + (key - Qt::Key_A) : 0);
    }
    switch (key) {
      case Qt::Key_Left: return Key(VK_LEFT);
      case Qt::Key_Right: return Key(VK_RIGHT);
      case Qt::Key_Up: return Key(VK_UP);
      case Qt::Key_Down: return Key(VK_DOWN);
      case Qt::Key_Home: return Key(VK_HOME);
      case Qt::Key_End: return Key(VK_END);
      case Qt::Key_Insert: return Key(VK_INSERT);
      case Qt::Key_Delete: return Key(VK_DELETE);
      case Qt::Key_PageUp: return Key(VK_PRIOR);
      case Qt::Key_PageDown: return Key(VK_NEXT);
      case Qt::Key_Clear: return Key(VK_CLEAR);
      case Qt::Key_Backspace: return Post(WM_CHAR, 8);
      case Qt::Key_Return:
      case Qt::Key_Enter: return Post(WM_CHAR, 13);
      case Qt::Key_Tab: return Post(WM_CHAR, 9);
      case Qt::Key_Escape: return Post(WM_CHAR, 27);
      default: break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return Key(VK_F1 + (key - Qt::Key_F1));
    if (ctrl && key >= Qt::Key_A && key <= Qt::Key_Z) return Post(WM_CHAR, 1 + (key - Qt::Key_A));
    Text(e->text());
  }
  void keyReleaseEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_Shift) Post(WM_KEYUP, VK_SHIFT);
    if (e->key() == Qt::Key_Control) Post(WM_KEYUP, VK_CONTROL);
  }
  // Input-method commits arrive as CP932 byte pairs.
  void inputMethodEvent(QInputMethodEvent* e) override {
    Text(e->commitString());
    e->accept();
  }

  void mousePressEvent(QMouseEvent* e) override {
    setFocus();
    Post(e->button() == Qt::RightButton ? WM_RBUTTONDOWN : e->button() == Qt::MiddleButton ? WM_MBUTTONDOWN
                                                                                             : WM_LBUTTONDOWN, 0);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    Post(e->button() == Qt::RightButton ? WM_RBUTTONUP : e->button() == Qt::MiddleButton ? WM_MBUTTONUP
                                                                                           : WM_LBUTTONUP, 0);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    Post(e->button() == Qt::RightButton ? WM_RBUTTONDBLCLK
         : e->button() == Qt::MiddleButton ? WM_MBUTTONDBLCLK : WM_LBUTTONDBLCLK, 0);
  }
  void wheelEvent(QWheelEvent* e) override {
    Post(WM_MOUSEWHEEL, static_cast<uint64_t>(e->angleDelta().y()) << 16);
    e->accept();
  }

 private:
  int VisibleRows() const { return viewport()->height() / cellHeight_; }
  int VisibleColumns() const { return viewport()->width() / cellWidth_; }
  // The cells the screen is told it shows: the viewport's, but all of them
  // when the view, scroll bars included, is short of the whole grid by no
  // more than one cell. (Decided from the viewport alone, the bars would
  // keep it too small to lose them when the window is enlarged again.)
  int ReportedRows() const {
    const int rows = screen_ ? screen_->Rows() : 24;
    return height() - 2 * frameWidth() >= (rows - 1) * cellHeight_ ? rows : VisibleRows();
  }
  int ReportedColumns() const {
    const int columns = screen_ ? screen_->Columns() : 80;
    return width() - 2 * frameWidth() >= (columns - 1) * cellWidth_ ? columns : VisibleColumns();
  }

  void SetBar(QScrollBar* bar, int max, int value, int page) {
    bar->blockSignals(true);
    bar->setRange(0, max);
    bar->setPageStep(std::max(1, page));
    bar->setValue(value);
    bar->blockSignals(false);
    const Qt::ScrollBarPolicy vertical =
        screen_ && screen_->MaxScrollRow() > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    const Qt::ScrollBarPolicy horizontal =
        screen_ && screen_->MaxScrollColumn() > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (vertical != verticalScrollBarPolicy()) setVerticalScrollBarPolicy(vertical);
    if (horizontal != horizontalScrollBarPolicy()) setHorizontalScrollBarPolicy(horizontal);
  }

  void ScrollAction(bool vertical, int action) {
    QScrollBar* bar = vertical ? verticalScrollBar() : horizontalScrollBar();
    uint32_t message = vertical ? WM_VSCROLL : WM_HSCROLL;
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: return Post(message, SB_LINEUP);
      case QAbstractSlider::SliderSingleStepAdd: return Post(message, SB_LINEDOWN);
      case QAbstractSlider::SliderPageStepSub: return Post(message, SB_PAGEUP);
      case QAbstractSlider::SliderPageStepAdd: return Post(message, SB_PAGEDOWN);
      default:
        return Post(message, SB_THUMBPOSITION | (static_cast<uint64_t>(bar->sliderPosition()) << 16));
    }
  }

  void Key(uint32_t vk) {
    Post(WM_KEYDOWN, vk);
    Post(WM_KEYUP, vk);
  }
  void Text(const QString& text) {
    if (text.isEmpty()) return;
    std::string bytes = Utf8ToCp932(text.toStdString());
    for (char c : bytes) {
      unsigned char b = static_cast<unsigned char>(c);
      if (b >= 32 || b == 3) Post(WM_CHAR, b);
    }
  }

  // Each row in runs of equal colour and attribute; double-byte characters
  // take two cells.
  void DrawGrid(QPainter& p, int left, int top, bool caret) {
    p.setFont(font_);
    QFontMetrics m(font_);
    const int columns = screen_->Columns(), rows = screen_->Rows();
    for (int r = top; r < rows; ++r) {
      const uint8_t* chars = screen_->RowChars(r);
      const uint8_t* colors = screen_->RowColors(r);
      const uint8_t* attrs = screen_->RowAttributes(r);
      const int y = (r - top) * cellHeight_;
      int c = 0;
      while (c < columns) {
        int end = c;
        while (end < columns && colors[end] == colors[c] && attrs[end] == attrs[c])
          end += IsLeadByte(chars[end]) && end + 1 < columns ? 2 : 1;
        CellColors cc = ColorsOf(colors[c], attrs[c], screen_->BackColor());
        const int x = (c - left) * cellWidth_;
        if (cc.opaque) p.fillRect(x, y, (end - c) * cellWidth_, cellHeight_, ToQt(cc.back));
        p.setPen(ToQt(cc.text));
        for (int k = c; k < end;) {
          int n = IsLeadByte(chars[k]) && k + 1 < columns ? 2 : 1;
          if (chars[k] != ' ') {
            QString glyph = QString::fromStdString(
                Cp932ToUtf8(std::string(reinterpret_cast<const char*>(chars + k), n)));
            p.drawText(QRect((k - left) * cellWidth_, y, n * cellWidth_, cellHeight_),
                       Qt::AlignLeft | Qt::AlignVCenter, glyph);
          }
          k += n;
        }
        c = end;
      }
    }
    if (caret && hasFocus() && screen_->CaretShown() && caretVisible_) {
      const int x = (screen_->CursorColumn() - left) * cellWidth_;
      const int y = (screen_->CursorRow() - top) * cellHeight_;
      p.fillRect(x, y, 2, cellHeight_, ToQt(ColorsOf(7, 4, 0).text));
    }
  }

  const ScreenSource* screen_ = nullptr;
  WindowHandle window_ = 0;
  MessageQueue* queue_ = nullptr;
  QFont font_;
  int cellWidth_ = 8, cellHeight_ = 16;
  uint64_t drawn_ = ~uint64_t{0};
  QTimer blink_;
  bool caretVisible_ = true;
};

void GridView::SetCellFont(const QFont& font) {
  font_ = font;
  std::tie(cellWidth_, cellHeight_) = CellOf(font_);
}

class MainWindow : public QMainWindow {
 public:
  GridView* view = nullptr;
  bool closing = false;

 protected:
  void closeEvent(QCloseEvent* e) override {
    if (closing) return e->accept();
    view->Post(WM_CLOSE, 0);  // the host decides; the window goes when it is destroyed
    e->ignore();
  }
};

// The font of a face the form names, else the fixed-pitch font that holds
// Japanese. "FixedSys" (and no face: the system's fixed font) is a raster
// font of one size whose cells are 8 pixels wide, whatever height is asked:
// its stand-in takes the largest size up to 16 pixels whose "." is at most
// 8 pixels wide, so that a form made for it shows its whole grid.
QFont JapaneseFixedFont(const std::string& face, int pixelHeight) {
  QFont font;
  const std::string utf8 = Cp932ToUtf8(face);
  const bool raster = face.empty() || face == "FixedSys";
  if (!raster && QFontDatabase::families().contains(QString::fromStdString(utf8))) {
    font.setFamily(QString::fromStdString(utf8));
  } else {
    for (const char* family : {"IPAGothic", "Noto Sans Mono CJK JP", "Noto Sans CJK JP", "VL Gothic", "Monospace"}) {
      if (QFontDatabase::families().contains(family)) {
        font.setFamily(family);
        break;
      }
    }
  }
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  if (raster) {
    int size = 16;
    for (; size > 10; --size) {
      font.setPixelSize(size);
      if (QFontMetrics(font).horizontalAdvance(QLatin1Char('.')) <= 8) break;
    }
    font.setPixelSize(size);
  } else {
    font.setPixelSize(pixelHeight > 0 ? pixelHeight : 16);
  }
  return font;
}


class WindowDisplay : public Display {
 public:
  WindowDisplay() {
    static int argc = 1;
    static char name[] = "tessel";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) app_ = std::make_unique<QApplication>(argc, argv);
    window_ = std::make_unique<MainWindow>();
    view_ = new GridView(window_.get());
    window_->view = view_;
    window_->setCentralWidget(view_);
    QMenu* copy = window_->menuBar()->addMenu(QString::fromUtf8("コピー(&Y)"));
    copy->addAction(QString::fromUtf8("テキスト(&T)"), [this] { view_->Post(WM_SYSCOMMAND, kCommandCopyText); });
    copy->addAction(QString::fromUtf8("テキスト/グラフィック(&M)"),
                    [this] { view_->Post(WM_SYSCOMMAND, kCommandCopyImage); });
    view_->SetCellFont(JapaneseFixedFont("FixedSys", 18));
  }
  ~WindowDisplay() override { Close(); }

  const char* Name() const override { return "window"; }

  // The window takes the form's size (which the host has fitted to the whole
  // grid) and can grow no larger than the grid; its view reports its size in
  // cells to the connected queue from the first resize on.
  void Open(const ScreenSource* screen, WindowHandle window) override {
    view_->Attach(screen, window, queue_);
    screen_ = screen;
    const int menu = window_->menuBar()->sizeHint().height();
    const int gridWidth = screen->Columns() * view_->cellWidth();
    const int gridHeight = screen->Rows() * view_->cellHeight();
    window_->setMaximumSize(gridWidth, gridHeight + menu);
    window_->resize(std::min(placement_.width, gridWidth), std::min(placement_.height - menu, gridHeight) + menu);
    if (placement_.positioned) window_->move(placement_.x, placement_.y);
    window_->show();
    window_->activateWindow();
    view_->setFocus();
    // The menu bar may settle at another height than it hinted: the view
    // keeps the height it was given.
    QApplication::processEvents();
    const int wanted = std::min(placement_.height - menu, gridHeight);
    if (view_->height() != wanted) window_->resize(window_->width(), window_->height() + wanted - view_->height());
  }

  void Connect(MessageQueue& queue) override { Bind(queue); }

  void WindowDestroyed() override {
    screen_ = nullptr;
    view_->Attach(nullptr, 0, queue_);
    window_->closing = true;
    window_->close();
    QApplication::processEvents();
  }

  void Close() override {
    if (!window_) return;
    window_->closing = true;
    window_->close();
    QApplication::processEvents();
  }

  void PumpEvents(MessageQueue& queue) override {
    Bind(queue);
    QApplication::processEvents(QEventLoop::AllEvents);
  }

  void WaitEvents(MessageQueue& queue) override {
    Bind(queue);
    Present();
    while (queue.Empty()) QApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
  }

  void Present() override {
    if (screen_) view_->Sync();
  }

  void SetTitle(const std::string& cp932) override { window_->setWindowTitle(QString::fromStdString(Cp932ToUtf8(cp932))); }
  // The form's window size, its frame being what FrameSize says: the menu
  // bar above the grid (the desktop draws the rest).
  void SetGeometry(int x, int y, int width, int height) override { placement_.Set(x, y, width, height); }
  void SetFont(const std::string& face, int pixelHeight) override {
    view_->SetCellFont(JapaneseFixedFont(face, pixelHeight));
  }
  std::pair<int, int> CellSize(const std::string& face, int pixelHeight) override {
    return CellOf(JapaneseFixedFont(face, pixelHeight));
  }
  std::pair<int, int> FrameSize() override { return {0, window_->menuBar()->sizeHint().height()}; }
  void Beep() override { QApplication::beep(); }

  void MessageBox(const std::string& caption, const std::string& text) override {
    QMessageBox::warning(window_ && window_->isVisible() ? window_.get() : nullptr,
                         QString::fromStdString(Cp932ToUtf8(caption)), QString::fromStdString(Cp932ToUtf8(text)));
  }

  bool CopyText(const std::string& cp932) override {
    QClipboard* c = QApplication::clipboard();
    if (!c) return false;
    c->setText(QString::fromStdString(Cp932ToUtf8(cp932)));
    return true;
  }

  bool CopyImage() override {
    QClipboard* c = QApplication::clipboard();
    if (!c || !screen_) return false;
    c->setImage(view_->GridImage());
    return true;
  }

 private:
  void Bind(MessageQueue& queue) {
    if (queue_ != &queue) {
      queue_ = &queue;
      view_->Attach(screen_, 1, queue_);
    }
  }

  std::unique_ptr<QApplication> app_;
  std::unique_ptr<MainWindow> window_;
  GridView* view_ = nullptr;
  const ScreenSource* screen_ = nullptr;
  MessageQueue* queue_ = nullptr;
  WindowPlacement placement_;
};

}  // namespace

}  // namespace platform

// The module's one entry: the window display, made by the program that
// loaded the module (which checked first that a desktop answers).
// (A desktop that answers takes the window; the reason is not needed.)
extern "C" __attribute__((visibility("default"))) platform::Display* TesselNewWindowDisplay(char*, size_t) {
  return new platform::WindowDisplay();
}
