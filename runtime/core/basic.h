// The facade in which the programs are written: single, double and string
// variables, run-time arrays and statements, so that program code reads like
// the BASIC it stands for.
//
//   Stmt(120); A = B + 1;              // BeginStatement, SetLine(120), ...
//   Stmt(130); S = Mid(T, 2, MaxLen);  // MID$ on the string stack
//   Stmt(140); Gosub([&] { Sub500(); });
//
// Arithmetic runs in double precision and is checked after every operation
// and every store, as compiled code does; strings pass through the run-time's
// string stack; arrays are the run-time's arrays with their bounds checks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "runtime/core/arrays.h"
#include "runtime/core/data_read.h"
#include "runtime/core/frame.h"
#include "runtime/core/number_format.h"
#include "runtime/core/number_scan.h"
#include "runtime/core/numbers.h"
#include "runtime/core/strings.h"

namespace basic {

// Keeps the compiler from moving a floating operation past the status check.
#if defined(__wasm__)
inline void Settle(double&) {}  // checked from the results (see CheckedResult)
#else
inline void Settle(double& v) { asm volatile("" : "+x"(v)::"memory"); }
#endif

// A number inside an expression (53-bit double precision).
class Value {
 public:
  constexpr Value(double v) : v_(v) {}
  constexpr Value(int v) : v_(v) {}
  constexpr double get() const { return v_; }

 private:
  double v_;
};

#if defined(__wasm__)
#define BASIC_ARITHMETIC(op)                                             \
  inline Value operator op(Value a, Value b) {                           \
    const double r = a.get() op b.get();                                 \
    rt::CheckResult(a.get(), b.get(), r, #op[0] == '/' && b.get() == 0); \
    return r;                                                            \
  }
#else
#define BASIC_ARITHMETIC(op)                    \
  inline Value operator op(Value a, Value b) {  \
    double r = a.get() op b.get();              \
    Settle(r);                                  \
    rt::CheckFloat();                           \
    return r;                                   \
  }
#endif
BASIC_ARITHMETIC(+)
BASIC_ARITHMETIC(-)
BASIC_ARITHMETIC(*)
BASIC_ARITHMETIC(/)
#undef BASIC_ARITHMETIC

inline Value operator-(Value a) { return -a.get(); }
inline bool operator==(Value a, Value b) { return a.get() == b.get(); }
inline bool operator<(Value a, Value b) { return a.get() < b.get(); }
inline bool operator>(Value a, Value b) { return a.get() > b.get(); }
inline bool operator<=(Value a, Value b) { return a.get() <= b.get(); }
inline bool operator>=(Value a, Value b) { return a.get() >= b.get(); }

// A single-precision variable: a value is rounded to single when stored.
class Single {
 public:
  Single() = default;
  template <class T>
    requires std::is_convertible_v<T, Value>
  Single(const T& v) {
    Store(v);
  }
  template <class T>
    requires std::is_convertible_v<T, Value>
  Single& operator=(const T& v) {
    Store(v);
    return *this;
  }
  operator Value() const { return static_cast<double>(f_); }
  float get() const { return f_; }
  float* raw() { return &f_; }

 private:
  void Store(Value v) {
    f_ = static_cast<float>(v.get());
#if defined(__wasm__)
    rt::CheckSingle(v.get(), f_);
#else
    double check = f_;
    Settle(check);
    rt::CheckFloat();
#endif
  }
  float f_ = 0;
};

class Double {
 public:
  Double() = default;
  template <class T>
    requires std::is_convertible_v<T, Value>
  Double(const T& v) {
    Store(v);
  }
  template <class T>
    requires std::is_convertible_v<T, Value>
  Double& operator=(const T& v) {
    Store(v);
    return *this;
  }
  operator Value() const { return d_; }
  double get() const { return d_; }
  double* raw() { return &d_; }

 private:
  void Store(Value v) {
    d_ = v.get();
    rt::CheckFloat();
  }
  double d_ = 0;
};

// An integer argument (subscript, count, file number): rounded half away
// from zero, error 6 outside the long range.
inline int32_t Cint(Value v) { return rt::RoundToLong(v.get()); }
// INT()
inline Value Int(Value v) { return rt::FloorValue(v.get()); }
// ABS()
inline Value Abs(Value v) { return v.get() < 0 ? -v.get() : v.get(); }

class Str;

// A string value pending on the run-time's string stack. Making one pushes
// it; the operation that takes it pops it.
class [[nodiscard]] StrExpr {
 public:
  StrExpr(const Str& var);
  StrExpr(const char* constant);
  StrExpr(std::string_view constant);
  // A value that an operation has just pushed.
  static StrExpr Pushed() { return StrExpr(rt::StringStackDepth() - 1); }
  int depth() const { return depth_; }

 private:
  explicit StrExpr(int depth) : depth_(depth) {}
  int depth_;
};

// A string variable. It owns its bytes in the string heap, so it is never
// copied bitwise: assignment copies the text.
class Str {
 public:
  Str() = default;
  ~Str() { rt::ReleaseString(v_); }
  Str(const Str&) = delete;
  Str& operator=(const Str& other) {
    rt::AssignVar(v_, other.v_);
    return *this;
  }
  Str& operator=(StrExpr) {
    rt::AssignPop(v_);
    return *this;
  }
  Str& operator=(const char* constant) {
    rt::AssignConst(v_, constant, static_cast<uint32_t>(std::char_traits<char>::length(constant)));
    return *this;
  }
  void Clear() { rt::ClearString(v_); }
  std::string_view view() const { return rt::View(v_); }
  rt::StringValue& value() { return v_; }
  const rt::StringValue& value() const { return v_; }

 private:
  rt::StringValue v_;
};

inline StrExpr::StrExpr(const Str& var) : depth_(rt::StringStackDepth()) {
  rt::PushStringVar(const_cast<rt::StringValue&>(var.value()));
}
inline StrExpr::StrExpr(const char* constant)
    : StrExpr(std::string_view(constant)) {}
inline StrExpr::StrExpr(std::string_view constant) : depth_(rt::StringStackDepth()) {
  rt::PushBytes(constant);
}

// C++ may evaluate the two operands in either order; put them back in the
// order of the source before the operation pops them.
inline void InOrder(const StrExpr& left, const StrExpr& right) {
  if (left.depth() > right.depth()) rt::SwapTopStrings();
}

inline StrExpr operator+(StrExpr a, StrExpr b) {
  InOrder(a, b);
  rt::Concat();
  return StrExpr::Pushed();
}
inline bool operator==(StrExpr a, StrExpr b) {
  InOrder(a, b);
  return rt::CompareStrings() == 0;
}
inline bool operator!=(StrExpr a, StrExpr b) { return !(a == b); }
// Ordering by unsigned bytes: CompareStrings gives 1 when a sorts after b.
inline bool operator<(StrExpr a, StrExpr b) {
  InOrder(a, b);
  return rt::CompareStrings() == 2;
}
inline bool operator>(StrExpr a, StrExpr b) {
  InOrder(a, b);
  return rt::CompareStrings() == 1;
}
inline bool operator<=(StrExpr a, StrExpr b) { return !(a > b); }
inline bool operator>=(StrExpr a, StrExpr b) { return !(a < b); }

// MID$(s, start, count)
inline StrExpr Mid(StrExpr s, Value start, Value count) {
  (void)s;
  int32_t first = Cint(start), n = Cint(count);
  rt::Mid(static_cast<uint32_t>(first), static_cast<uint32_t>(n));
  return StrExpr::Pushed();
}
// LEN(s)
inline Value Len(StrExpr) { return rt::Len(); }
// VAL(s)
inline Value Val(StrExpr) { return rt::Val(); }
// STR$ of a single or a double value.
inline StrExpr StrSng(Value v) {
  rt::StrSingle(rt::ToSingle(v.get()));
  return StrExpr::Pushed();
}
inline StrExpr StrDbl(Value v) {
  rt::StrDouble(v.get());
  return StrExpr::Pushed();
}
inline StrExpr StrOf(const Single& v) { return StrSng(v); }
inline StrExpr StrOf(const Double& v) { return StrDbl(v); }

template <class T>
struct ElementType;
template <>
struct ElementType<Single> {
  static constexpr uint8_t code = rt::kTypeSingle;
};
template <>
struct ElementType<Double> {
  static constexpr uint8_t code = rt::kTypeDouble;
};
template <>
struct ElementType<Str> {
  static constexpr uint8_t code = rt::kTypeString;
};

// A dynamic run-time array of N dimensions, subscripts from 0.
template <class T, int N>
class Array {
  static_assert(N >= 1 && N <= rt::kMaxDimensions);
  static_assert(std::is_standard_layout_v<T>);

 public:
  Array() = default;
  ~Array() { rt::DiscardArray(desc_); }
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;

  // DIM A(upper, ...)
  template <class... U>
  void Dim(U... upper) {
    static_assert(sizeof...(U) == N);
    rt::DimRequest q{ElementType<T>::code, N, sizeof(T), &desc_, &bounds_, {}};
    int i = 0;
    ((q.upper[i++] = static_cast<uint32_t>(Cint(Value(upper)))), ...);
    rt::DimArray(q);
  }

  template <class... U>
  T& operator()(U... subscripts) {
    static_assert(sizeof...(U) == N);
    rt::ElementRef r{ElementType<T>::code, N, sizeof(T), &desc_, &bounds_, {}};
    int i = 0;
    ((r.subscripts[i++] = static_cast<uint32_t>(Cint(Value(subscripts)))), ...);
    // The common case inline; the run-time raises the errors.
    if (desc_.data && bounds_.dimensions == N) {
      uint64_t offset = 0;
      bool inside = true;
      for (int d = N - 1; d >= 0; --d) {
        if (r.subscripts[d] >= bounds_.counts[d]) {
          inside = false;
          break;
        }
        offset = offset * bounds_.counts[d] + r.subscripts[d];
      }
      if (inside) return static_cast<T*>(desc_.data)[offset];
    }
    return *static_cast<T*>(rt::ElementAddress(r));
  }

  bool dimensioned() const { return desc_.data != nullptr; }
  rt::ArrayDescriptor* descriptor() { return &desc_; }

 private:
  rt::ArrayDescriptor desc_;
  rt::ArrayBounds bounds_;
};

// ERASE A, B, ...
template <class... A>
void Erase(A&... arrays) {
  rt::ArrayDescriptor* list[] = {arrays.descriptor()...};
  rt::EraseArrays(sizeof...(A), list);
}

// ERASE of an array only when it is dimensioned (the programs release their
// tables this way before dimensioning them anew).
template <class A>
void EraseIfDimensioned(A& array) {
  if (array.dimensioned()) Erase(array);
}

// The first two calls of every statement.
inline void Stmt(int16_t line) {
  rt::BeginStatement();
  rt::SetLine(line);
}

inline void Gosub(const rt::Handler& target) { rt::Gosub(target); }
inline void Return() { rt::Return(); }
[[noreturn]] inline void End() { rt::EndProgram(0); }

inline rt::VarRef Ref(Str& s) { return {&s.value(), rt::kTypeString}; }
inline rt::VarRef Ref(Single& v) { return {v.raw(), rt::kTypeSingle}; }
inline rt::VarRef Ref(Double& v) { return {v.raw(), rt::kTypeDouble}; }

// READ a, b, ...
template <class... V>
void Read(V&... vars) {
  rt::VarRef list[] = {Ref(vars)...};
  rt::Read(list, sizeof...(V));
}

// The module's start: its record twice, then its DATA area.
inline void StartModule(const rt::ModuleRecord& module, const uint8_t* dataArea) {
  rt::EnterModule(&module);
  rt::EnterModule(&module);
  rt::SetDataArea(dataArea);
}

}  // namespace basic
