// The fast engine. It gives exactly the rows, order, bits, marks and errors
// of the reference engine, using what the literal algorithms guarantee:
//
// - After collection each class of rows with equal exponents either vanishes
//   or survives in its first row of non-zero magnitude, holding the
//   left-to-right sum of the class in row order. Rows of magnitude 0 never
//   change a value.
// - Exact regime (signs +1/-1, whole magnitudes, the product of the factors'
//   magnitude sums below 2^53): every value and partial sum is an exact
//   integer, so the factors are multiplied one by one and collected in a hash
//   map after each step, carrying for each monomial its smallest product-row
//   index. Monomials whose sum is 0 are kept: their row still decides where a
//   later class survives.
// - Otherwise, while no overflow is possible, the product rows are walked in
//   order, each computed exactly as the reference does and folded into its
//   class's running sum.
// - Where overflow is possible the reference runs, so that the error and the
//   marks before it are the same.
// - A letter count with a fraction (an array file's header can hold one)
//   never merges rows: every row of non-zero magnitude survives as it is.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "app/polynomial/class_map.h"
#include "app/polynomial/exchange_order.h"
#include "app/polynomial/lines.h"
#include "app/polynomial/mark_pacer.h"
#include "app/polynomial/polynomial.h"
#include "runtime/core/basic.h"

namespace poly {
namespace {

// Work between polls: small enough that the window (a browser's page among
// them) is served many times a second even where a step is slow.
constexpr int kPollEvery = 1 << 12;

// Keeps the window served during long work.
void Poll(int16_t line) { basic::Stmt(line); }

// Sorts classes by their first row (rows are unique, so the order is fully
// defined). Sorting a large answer takes a while: its marks are paced by
// the comparisons made, and the window is served.
template <class Item>
void SortByFirstRow(std::vector<Item>& items, MarkPacer& marks) {
  const double n = static_cast<double>(items.size());
  const double expected = 1.5 * n * std::log2(n + 2) + 1;
  uint64_t comparisons = 0;
  std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    if ((++comparisons & 0xFFFF) == 0) {
      Poll(line::kCollectRow);
      marks.Progress(static_cast<double>(comparisons) / expected);
    }
    return a.row < b.row;
  });
}

// Exponent vectors packed into one integer (see ExponentPacking): 64 bits
// when the fields fit in them, which halves the work and the room of a key.
template <class K>
struct PackedKeysOf : ExponentPacking {
  using Key = K;
  struct Traits {
    // One multiplication folds the key; its high half, where every bit of
    // the key has an effect, is brought down to the bits the table uses.
    static uint64_t Hash(K k) {
      uint64_t folded = static_cast<uint64_t>(k);
      if constexpr (sizeof(K) > 8) folded ^= static_cast<uint64_t>(k >> 64) * 0xc2b2ae3d27d4eb4full;
      const u128 product = static_cast<u128>(folded) * 0x9e3779b97f4a7c15ull;
      return static_cast<uint64_t>(product >> 64) ^ static_cast<uint64_t>(product);
    }
    static bool Equal(K a, K b) { return a == b; }
  };
  Key Make(const double* exps) const { return static_cast<K>(ExponentPacking::Make(exps)); }
  Key Add(Key a, Key b) const { return a + b; }
  // Whether every field fits in a key of this width.
  bool Fits() const {
    int bits = 0;
    for (int w : width) bits += w;
    return bits <= static_cast<int>(8 * sizeof(K));
  }
};
using PackedKeys = PackedKeysOf<u128>;

// Exponent vectors as they are, compared as numbers.
struct WideKeys {
  using Key = std::vector<double>;
  struct Traits {
    static uint64_t Hash(const Key& k) {
      uint64_t h = 0x9e3779b97f4a7c15ull;
      for (double d : k) {
        double canonical = d == 0 ? 0.0 : d;
        uint64_t bits;
        std::memcpy(&bits, &canonical, sizeof bits);
        h = MixHash(h ^ bits);
      }
      return h;
    }
    static bool Equal(const Key& a, const Key& b) {
      for (size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i])) return false;
      return true;
    }
  };
  int letters = 0;

  Key Make(const double* exps) const { return Key(exps, exps + letters); }
  Key Add(const Key& a, const Key& b) const {
    Key r(letters);
    for (int i = 0; i < letters; ++i) r[i] = a[i] + b[i];
    return r;
  }
  void Exps(const Key& k, double* out) const { std::copy(k.begin(), k.end(), out); }
};

struct Survivor {
  u128 row;
  double sign, magnitude;
  size_t index;  // into the survivor exponent store
};

// A class of the exact product: its sum so far and its first product row.
template <class Row>
struct ExactClass {
  int64_t sum;
  Row row;
};

// The classes of an exact product with packed exponents, as the product left
// them: sorted into row order by Collect, then handed to the answer in the
// compact form. Row is the narrowest integer that holds every row index.
class ExactAnswer {
 public:
  virtual ~ExactAnswer() = default;
  virtual void SortByRow(MarkPacer& marks) = 0;
  virtual void MoveInto(AnswerRows& rows) = 0;
};

template <class Key, class Row>
class ExactAnswerOf : public ExactAnswer {
 public:
  using Map = ClassMap<Key, ExactClass<Row>, typename PackedKeysOf<Key>::Traits>;
  explicit ExactAnswerOf(Map classes) : classes_(std::move(classes)) { classes_.DropTable(); }

  void SortByRow(MarkPacer& marks) override {
    // The classes whose sum is not 0, by their first row.
    struct Entry {
      Row row;
      uint32_t index;
    };
    size_t kept = 0;
    for (size_t i = 0; i < classes_.size(); ++i) kept += classes_.value(i).sum != 0;
    std::vector<Entry> entries;
    entries.reserve(kept);
    for (size_t i = 0; i < classes_.size(); ++i) {
      if ((i & 0xFFFF) == 0) Poll(line::kCollectRow);
      const ExactClass<Row>& c = classes_.value(i);
      if (c.sum != 0) entries.push_back({c.row, static_cast<uint32_t>(i)});
    }
    SortByFirstRow(entries, marks);
    order_.resize(entries.size());
    for (size_t p = 0; p < entries.size(); ++p) order_[p] = entries[p].index;
  }

  void MoveInto(AnswerRows& rows) override {
    const size_t n = order_.size();
    rows.values.resize(n);
    rows.keys.resize(n);
    for (size_t p = 0; p < n; ++p) {
      if ((p & 0xFFFF) == 0) Poll(line::kOrderCount);
      rows.values[p] = classes_.value(order_[p]).sum;
      rows.keys[p] = static_cast<u128>(classes_.key(order_[p]));
    }
    classes_.Free();
    std::vector<uint32_t>().swap(order_);
  }

 private:
  Map classes_;
  std::vector<uint32_t> order_;  // by row, after SortByRow
};

class FastEngine : public Engine {
 public:
  void Prepare(const Factors& in) override;
  ExpandResult Expand(const Factors& in, ProgressOutput& out) override;
  void Collect(ProgressOutput& out) override;
  AnswerRows Ordered() override;

 private:
  bool OverflowPossible(const Factors& in) const;
  bool ExactRegime(const Factors& in) const;
  bool Packable(const Factors& in, PackedKeys& codec) const;
  template <class Codec, class Row>
  void ExactProduct(const Factors& in, const Codec& codec, MarkPacer& marks);
  template <class Row, class Map, class K>
  void KeepClasses(Map& classes, const PackedKeysOf<K>& codec, int& work);
  template <class Row, class Map>
  void KeepClasses(Map& classes, const WideKeys& codec, int& work);
  template <class Codec>
  void StreamRows(const Factors& in, const Codec& codec, MarkPacer& marks);

  bool prepared_ = false;
  bool unordered_ = false;  // survivors not yet in row order
  std::unique_ptr<Engine> reference_;
  float letterCount_ = 0;
  int letters_ = 0;
  double rowCount_ = 0;
  std::vector<Survivor> survivors_;
  std::vector<double> exps_;  // letters_ exponents per survivor
  std::unique_ptr<ExactAnswer> exact_;  // instead of survivors, packed exact classes
  ExponentPacking packing_;
};

bool FastEngine::OverflowPossible(const Factors& in) const {
  // Without a row nothing is multiplied.
  for (const auto& factor : in.terms)
    if (factor.empty()) return false;
  long double logBound = 0;
  long double rows = 1;
  for (const auto& factor : in.terms) {
    long double maxSign = 1, magSum = 0;
    for (const auto& t : factor) {
      maxSign = std::max(maxSign, std::fabs(static_cast<long double>(t[0])));
      magSum += std::fabs(static_cast<long double>(t[1]));
    }
    logBound += std::log2(maxSign) + std::log2(std::max(magSum, 1.0L));
    rows *= factor.size();
  }
  if (logBound > 1000 || rows > 1e36L) return true;
  for (int k = 0; k < in.letters(); ++k) {
    long double sum = 0;
    for (const auto& factor : in.terms) {
      long double m = 0;
      for (const auto& t : factor) m = std::max(m, std::fabs(static_cast<long double>(t[2 + k])));
      sum += m;
    }
    if (sum > 1e300L) return true;
  }
  return false;
}

bool FastEngine::ExactRegime(const Factors& in) const {
  constexpr u128 kLimit = u128{1} << 53;
  u128 bound = 1;
  for (const auto& factor : in.terms) {
    u128 sum = 0;
    for (const auto& t : factor) {
      if (t[0] != 1 && t[0] != -1) return false;
      double m = t[1];
      if (!(m >= 0 && m < 9007199254740992.0 && m == std::floor(m))) return false;
      sum += static_cast<u128>(m);
    }
    if (sum >= kLimit) return false;
    bound *= sum == 0 ? 1 : sum;
    if (bound >= kLimit) return false;
  }
  return true;
}

bool FastEngine::Packable(const Factors& in, PackedKeys& codec) const {
  int shift = 0;
  for (int k = 0; k < in.letters(); ++k) {
    uint64_t total = 0;
    for (const auto& factor : in.terms) {
      double most = 0;
      for (const auto& t : factor) {
        double e = t[2 + k];
        if (!(e >= 0 && e == std::floor(e) && e < 1e15) || std::signbit(e)) return false;
        most = std::max(most, e);
      }
      total += static_cast<uint64_t>(most);
    }
    // The programs add exponents as doubles: up to 2^53 every partial sum is
    // exact, and the packed sums are the same numbers. Beyond, sums that
    // round to one double are one exponent, which only the wide keys see.
    if (total > (uint64_t{1} << 53)) return false;
    int width = total == 0 ? 0 : 64 - __builtin_clzll(total);
    codec.shift.push_back(shift);
    codec.width.push_back(width);
    shift += width;
    if (shift > 128) return false;
  }
  return true;
}

template <class Codec, class Row>
void FastEngine::ExactProduct(const Factors& in, const Codec& codec, MarkPacer& marks) {
  using Key = typename Codec::Key;
  using Class = ExactClass<Row>;
  using Map = ClassMap<Key, Class, typename Codec::Traits>;
  std::vector<double> zero(in.letters(), 0.0);
  Map current, next;  // one step's classes and the next step's, their storage reused
  bool inserted;
  current.Find(codec.Make(zero.data()), Class{1, Row{0}}, inserted);
  int work = 0;
  double growth = 1e300;
  const double steps = static_cast<double>(in.terms.size());
  for (size_t step = 0; step < in.terms.size(); ++step) {
    const auto& factor = in.terms[step];
    const Row radix = static_cast<Row>(factor.size());
    std::vector<Key> termKeys;
    std::vector<int64_t> termValues;
    std::vector<Row> termIndex;
    for (size_t m = 0; m < factor.size(); ++m) {
      if (factor[m][1] == 0) continue;  // a row with this term has magnitude 0
      termKeys.push_back(codec.Make(factor[m].data() + 2));
      termValues.push_back(static_cast<int64_t>(factor[m][0] * factor[m][1]));
      termIndex.push_back(m);
    }
    // The classes grow by a falling ratio when the same factor comes again
    // (and by at most the number of terms): room for the last step's ratio
    // keeps the tables from being far larger than they need to be. Products
    // of different factors often collect far more than that ratio says (two
    // saved answers of the same letters), so the room is at most four times
    // the classes so far, and the table grows if it must.
    const double classes = static_cast<double>(current.size());
    const double terms = static_cast<double>(termKeys.size());
    const double room = std::min({classes * terms, classes * growth + terms, std::max(4 * classes, 65536.0)});
    next.Reset(static_cast<size_t>(room));
    // The products go to the table in batches: their hashes first, with the
    // table's memory asked for ahead, then the finds. The sums are exact and
    // the first row is a minimum, so the order of the finds changes nothing.
    struct Product {
      Key key;
      uint64_t hash;
      Row row;
      int64_t value;
    };
    // A table that stays in the cache is faster without.
    constexpr size_t kBatch = 32, kAhead = 8;
    const bool batched = room > 65536;
    std::vector<Product> batch;
    batch.reserve(kBatch);
    auto flush = [&] {
      for (const Product& p : batch) next.PrefetchSlot(p.hash);
      for (size_t j = 0; j < batch.size(); ++j) {
        if (j + kAhead < batch.size()) next.PrefetchEntry(batch[j + kAhead].hash);
        const Product& p = batch[j];
        Class& n = next.Find(p.key, p.hash, Class{0, p.row}, inserted);
        n.sum += p.value;
        if (p.row < n.row) n.row = p.row;
      }
      batch.clear();
    };
    const size_t termCount = termKeys.size();
    for (size_t e = 0; e < current.size(); ++e) {
      // The window is served between classes, once some thousands of
      // products have been made.
      work += static_cast<int>(std::min<size_t>(termCount, kPollEvery));
      if (work >= kPollEvery) {
        work = 0;
        Poll(line::kExpandRow);
        marks.Progress((static_cast<double>(step) + static_cast<double>(e) / current.size()) / steps);
      }
      const Class c = current.value(e);
      const Key base = current.key(e);
      for (size_t t = 0; t < termCount; ++t) {
        const Key key = codec.Add(base, termKeys[t]);
        const Row row = c.row * radix + termIndex[t];
        if (!batched) {
          Class& n = next.Find(key, Class{0, row}, inserted);
          n.sum += c.sum * termValues[t];
          if (row < n.row) n.row = row;
          continue;
        }
        batch.push_back({key, Codec::Traits::Hash(key), row, c.sum * termValues[t]});
        if (batch.size() == kBatch) flush();
      }
    }
    flush();
    if (current.size()) growth = static_cast<double>(next.size()) / static_cast<double>(current.size());
    std::swap(current, next);
  }
  next.Free();  // the last step's storage goes before the answer is kept
  KeepClasses<Row>(current, codec, work);
}

// The classes, kept as they are for the compact form.
template <class Row, class Map, class K>
void FastEngine::KeepClasses(Map& classes, const PackedKeysOf<K>& codec, int&) {
  packing_ = codec;
  exact_ = std::make_unique<ExactAnswerOf<K, Row>>(std::move(classes));
}

// The classes whose sum is not 0, as survivors in the general form.
template <class Row, class Map>
void FastEngine::KeepClasses(Map& current, const WideKeys& codec, int& work) {
  survivors_.reserve(current.size());
  exps_.reserve(current.size() * static_cast<size_t>(letters_));
  for (size_t e = 0; e < current.size(); ++e) {
    if (++work == kPollEvery) {
      work = 0;
      Poll(line::kExpandRow);
    }
    const auto& c = current.value(e);
    if (c.sum == 0) continue;
    survivors_.push_back({static_cast<u128>(c.row), c.sum > 0 ? 1.0 : -1.0,
                          static_cast<double>(c.sum > 0 ? c.sum : -c.sum), exps_.size()});
    exps_.resize(exps_.size() + letters_);
    codec.Exps(current.key(e), exps_.data() + survivors_.back().index);
  }
}

template <class Codec>
void FastEngine::StreamRows(const Factors& in, const Codec& codec, MarkPacer& marks) {
  using Key = typename Codec::Key;
  struct Class {
    u128 row;
    double acc, sign, magnitude;
    bool later;
  };
  const int f = static_cast<int>(in.terms.size());
  const int letters = in.letters();
  const bool merges = in.merges();
  ClassMap<Key, Class, typename Codec::Traits> classes;
  std::vector<size_t> index(f, 0);
  std::vector<double> sign(f), magnitude(f), exps(static_cast<size_t>(f) * letters);
  // Prefix values from level `from` on, computed left to right as the
  // reference computes each row.
  auto recompute = [&](int from) {
    for (int level = from; level < f; ++level) {
      const std::vector<double>& t = in.terms[level][index[level]];
      sign[level] = (level == 0 ? 1.0 : sign[level - 1]) * t[0];
      magnitude[level] = (level == 0 ? 1.0 : magnitude[level - 1]) * t[1];
      for (int k = 0; k < letters; ++k)
        exps[level * letters + k] = (level == 0 ? 0.0 : exps[(level - 1) * letters + k]) + t[2 + k];
    }
  };
  recompute(0);
  int work = 0;
  bool inserted;
  for (u128 row = 0;; ++row) {
    if (++work == kPollEvery) {
      work = 0;
      Poll(line::kExpandRow);
      marks.Progress(static_cast<double>(row) / rowCount_);
    }
    const double s = sign[f - 1], p = magnitude[f - 1];
    const double* e = exps.data() + static_cast<size_t>(f - 1) * letters;
    if (!merges) {
      // Nothing merges: every row of non-zero magnitude is its own answer.
      if (p != 0) {
        survivors_.push_back({row, s, p, exps_.size()});
        exps_.insert(exps_.end(), e, e + letters);
      }
    } else if (p != 0) {
      Class& c = classes.Find(codec.Make(e), Class{row, 0, s, p, false}, inserted);
      if (inserted) c.acc = s * p;
      else {
        c.acc = s * p + c.acc;
        c.later = true;
      }
    } else if (Class* c = classes.Lookup(codec.Make(e))) {
      c->later = true;
    }
    int level = f - 1;
    while (level >= 0 && ++index[level] == in.terms[level].size()) index[level--] = 0;
    if (level < 0) break;
    recompute(level);
  }
  for (size_t i = 0; i < classes.size(); ++i) {
    if (++work == kPollEvery) {
      work = 0;
      Poll(line::kExpandRow);
    }
    const Class& c = classes.value(i);
    double s = c.sign, m = c.magnitude;
    if (c.later) {
      if (c.acc == 0) continue;
      s = c.acc > 0 ? 1 : -1;
      m = std::fabs(c.acc);
    }
    survivors_.push_back({c.row, s, m, exps_.size()});
    exps_.resize(exps_.size() + letters);
    codec.Exps(classes.key(i), exps_.data() + survivors_.back().index);
  }
}

void FastEngine::Prepare(const Factors& in) {
  prepared_ = true;
  reference_.reset();
  if (!HasProduct(in.factorCount)) return;
  const bool overflow = OverflowPossible(in);
  if (overflow || !in.merges()) {
    // The reference dimensions the ProductTable. Without merging the answer
    // is as large as that table, so it must fit where the table fits.
    reference_ = MakeReferenceEngine();
    reference_->Prepare(in);
    if (!overflow) reference_.reset();
  }
}

ExpandResult FastEngine::Expand(const Factors& in, ProgressOutput& out) {
  if (!prepared_) Prepare(in);
  prepared_ = false;
  basic::Stmt(line::kExpandCheck);
  survivors_.clear();
  exps_.clear();
  exact_.reset();
  unordered_ = false;
  letterCount_ = in.letterCount;
  letters_ = in.letters();
  rowCount_ = 0;
  if (!HasProduct(in.factorCount)) return ExpandResult::NoProduct;
  if (reference_) return reference_->Expand(in, out);
  rowCount_ = 1;
  for (const auto& factor : in.terms) rowCount_ *= static_cast<double>(factor.size());

  MarkPacer marks(out, MarksUpTo(rowCount_));
  PackedKeys packed;
  const bool pack = Packable(in, packed);
  WideKeys wide;
  wide.letters = letters_;
  // A factor without terms makes no row at all.
  if (rowCount_ > 0) {
    CheckTermColumns(in);
    if (ExactRegime(in) && in.merges()) {
      const bool fewRows = rowCount_ < 1.8e19;  // every row index below 2^64
      PackedKeysOf<uint64_t> narrow;
      static_cast<ExponentPacking&>(narrow) = packed;
      if (pack && fewRows && narrow.Fits()) ExactProduct<PackedKeysOf<uint64_t>, uint64_t>(in, narrow, marks);
      else if (pack && fewRows) ExactProduct<PackedKeys, uint64_t>(in, packed, marks);
      else if (pack) ExactProduct<PackedKeys, u128>(in, packed, marks);
      else ExactProduct<WideKeys, u128>(in, wide, marks);
      unordered_ = true;
    } else {
      // Row by row: each class is met first in its first row.
      if (pack) StreamRows(in, packed, marks);
      else StreamRows(in, wide, marks);
    }
  }
  basic::Stmt(line::kExpandProgress);
  marks.Finish();
  return ExpandResult::Done;
}

void FastEngine::Collect(ProgressOutput& out) {
  if (reference_) return reference_->Collect(out);
  basic::Stmt(line::kCollectHeader);
  out.BeginCollection();
  basic::Stmt(line::kCollectRow);
  MarkPacer marks(out, MarksUpTo(rowCount_ - 1));
  if (exact_) {
    exact_->SortByRow(marks);
  } else if (unordered_) {
    // Each class survives in its first row, so the answer is in row order.
    // The product by factors found the classes in another order.
    SortByFirstRow(survivors_, marks);
  }
  marks.Finish();
}

AnswerRows FastEngine::Ordered() {
  if (reference_) return reference_->Ordered();
  basic::Stmt(line::kOrderCount);
  AnswerRows rows;
  rows.letterCount = letterCount_;
  if (exact_) {
    rows.compact = true;
    rows.packing = packing_;
    exact_->MoveInto(rows);
    exact_.reset();
  }
  rows.cells.reserve(survivors_.size() * rows.columns());
  int work = 0;
  for (const Survivor& s : survivors_) {
    if (++work == kPollEvery) {
      work = 0;
      Poll(line::kOrderCount);
    }
    rows.cells.push_back(s.sign);
    rows.cells.push_back(s.magnitude);
    rows.cells.insert(rows.cells.end(), exps_.begin() + s.index, exps_.begin() + s.index + letters_);
  }
  std::vector<Survivor>().swap(survivors_);
  std::vector<double>().swap(exps_);
  basic::Stmt(line::kOrderPass);
  ExchangeSortPasses(rows, [] { Poll(line::kOrderPass); });
  return rows;
}

}  // namespace

std::unique_ptr<Engine> MakeFastEngine() { return std::make_unique<FastEngine>(); }

}  // namespace poly
