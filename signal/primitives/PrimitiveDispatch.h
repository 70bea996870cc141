// Processor-type dispatch shared by every numeric primitive (vector, scope,
// 16-bit block and transform primitives).
//
// A primitive is a stateless function over plain pointers, counts, byte steps
// and scalars that returns a signed 32-bit status and never throws. Each
// primitive has a portable variant and up to three processor-specific ones
// (A, B, C). Callers reach it through its pointer variable, a
// `PrimitivePointer` object named after the primitive, which callers invoke
// like a function:
//
//     PrimitiveStatus status = VectorMinDouble(values, count, &smallest);
//
// The pointer variable starts at the primitive's dispatch stub (constant
// initialisation, so it is usable before any static constructor runs). The
// stub's first call reads `GetCpuTypeCode`, picks the variant with
// `SelectVariant`, stores it in the pointer variable and calls it; later calls
// go straight to the variant. The program keeps the processor-type code at 0,
// so the portable variant is the one that runs.
//
// Threads: any thread may call a primitive at any time. Two threads may run a
// stub at once; both store the same variant. The pointer variables are
// atomics read and written with relaxed order: the stored value is a function
// address that needs no other memory to be published with it.
//
// Declaring and defining a primitive (see TrelBasicDispatcher.h/.cpp):
//
//     // header
//     PrimitiveStatus VectorMinDoublePortable(const double* src, std::int32_t len, double* min);
//     extern PrimitivePointer<decltype(VectorMinDoublePortable)> VectorMinDouble;
//     // source file
//     KESTRUNE_DEFINE_PRIMITIVE(VectorMinDouble, VariantFamily::FourVariants);
//
// A primitive with processor-specific variants names them where its pointer
// variable is defined, so that they are in place before any code runs and the
// linker keeps the files that hold them:
//
//     KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(VectorMulConstantDouble,
//         VariantFamily::FourVariants, &VectorMulConstantDoubleA,
//         &VectorMulConstantDoubleB, &VectorMulConstantDoubleC);
//
// A selected variant is bound only when the running processor has what its
// letter needs (`CpuSupportsVariant`); otherwise the portable variant is.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

// Status of a primitive: 0 success, negative an error (nothing was written),
// positive a warning after complete processing.
using PrimitiveStatus = std::int32_t;

inline constexpr PrimitiveStatus StatusOk = 0;
// A required pointer argument is null.
inline constexpr PrimitiveStatus StatusNullPointer = -8;
// A length, width or height is below 1.
inline constexpr PrimitiveStatus StatusBadLength = -6;
// A byte step between rows of a block is below 1.
inline constexpr PrimitiveStatus StatusBadStep = -14;
// The chirp magnitude is negative.
inline constexpr PrimitiveStatus StatusNegativeMagnitude = -38;
// Warning: at least one divisor was zero; every output element was written.
inline constexpr PrimitiveStatus StatusZeroDivisor = 6;

// The transforms' codes (signal/transforms/MoskDispatcher.h), kept here so
// that one list holds every status and its name.
// The heap did not supply a block, or the block's size does not fit 31 bits.
inline constexpr PrimitiveStatus StatusNoMemory = -9;
// The IIR feedback tap a0 is 0.0 or not a number.
inline constexpr PrimitiveStatus StatusZeroFeedbackTap = -10;
// An FFT order below 0 or above 30.
inline constexpr PrimitiveStatus StatusBadFftOrder = -15;
// An FFT scaling flag other than 1, 2, 4 or 8.
inline constexpr PrimitiveStatus StatusBadFftFlag = -16;
// The object's id is not that of the object the primitive expects.
inline constexpr PrimitiveStatus StatusBadObjectId = -17;
// A negative IIR order.
inline constexpr PrimitiveStatus StatusNegativeIirOrder = -25;

// The name of a status for logs and messages: the constant's name above
// ("StatusBadLength"), or "unknown status" for any other value. The text is
// static; any thread may call it.
const char* PrimitiveStatusName(PrimitiveStatus status);

// The process-wide processor-type code. It starts at 0 and the program never
// changes it. Any thread may call it.
std::int32_t GetCpuTypeCode();

// Test only: sets the processor-type code that later dispatch stubs read.
// Pointer variables already bound keep their variant; reset them with
// `ResetToStubForTesting` to make the next call select again.
void SetCpuTypeCodeForTesting(std::int32_t code);

// The variants a primitive can have.
enum class PrimitiveVariant : std::uint8_t { Portable = 0, A = 1, B = 2, C = 3 };

// Whether the running processor has the instructions a variant needs: A and B
// the x86-64 baseline (x87, MMX, SSE, SSE2), C also SSE3. The portable variant
// runs anywhere. The processor is asked once; any thread may call it.
bool CpuSupportsVariant(PrimitiveVariant variant);

// Test only: makes `CpuSupportsVariant` answer `supported` for `variant`
// (the portable variant excepted) until `ResetCpuSupportForTesting`.
void SetCpuSupportForTesting(PrimitiveVariant variant, bool supported);
void ResetCpuSupportForTesting();

// Which variants a primitive has, which decides the dispatch table:
// FourVariants: C, B, A and portable; VariantsCA: C, A and portable;
// VariantsBA: B, A and portable (the 32-bit block fill).
enum class VariantFamily : std::uint8_t { FourVariants, VariantsCA, VariantsBA };

// The dispatch rule. Code 5 selects A; 6 to 9 select B for four-variant
// primitives (VariantsBA: only 6 selects B); 16 and 17 select C where the
// primitive has C; every other code, 0 and negative codes included, selects
// the portable variant.
constexpr PrimitiveVariant SelectVariant(std::int32_t cpuTypeCode, VariantFamily family) {
  if (cpuTypeCode == 5) {
    return PrimitiveVariant::A;
  }
  if (cpuTypeCode >= 6 && cpuTypeCode <= 9) {
    if (family == VariantFamily::FourVariants ||
        (family == VariantFamily::VariantsBA && cpuTypeCode == 6)) {
      return PrimitiveVariant::B;
    }
    return PrimitiveVariant::Portable;
  }
  if ((cpuTypeCode == 16 || cpuTypeCode == 17) && family != VariantFamily::VariantsBA) {
    return PrimitiveVariant::C;
  }
  return PrimitiveVariant::Portable;
}

template <typename Signature>
class PrimitivePointer;

// The pointer variable of one primitive: the bound function plus the variant
// table its stub selects from. Slots A, B and C hold the processor-specific
// variants the primitive has; an empty slot, or one whose letter the running
// processor lacks, falls back to the portable variant.
template <typename R, typename... Args>
class PrimitivePointer<R(Args...)> {
 public:
  using Function = R(Args...);

  // `stub` is the primitive's dispatch stub (KESTRUNE_DISPATCH_STUB);
  // `portable` its portable variant, which must not be null; `a`, `b`, `c`
  // its processor-specific variants, null where it has none.
  constexpr PrimitivePointer(VariantFamily family, Function* stub, Function* portable,
                             Function* a = nullptr, Function* b = nullptr,
                             Function* c = nullptr) noexcept
      : target_(stub), stub_(stub), family_(family), slots_{portable, a, b, c} {}

  PrimitivePointer(const PrimitivePointer&) = delete;
  PrimitivePointer& operator=(const PrimitivePointer&) = delete;

  // Calls the bound function (the stub until the first call has bound a
  // variant) with the arguments unchanged and returns its result.
  R operator()(Args... args) const { return target_.load(std::memory_order_relaxed)(args...); }

  // The function a call reaches now: the stub or the bound variant.
  Function* Target() const noexcept { return target_.load(std::memory_order_relaxed); }
  Function* Stub() const noexcept { return stub_; }
  VariantFamily Family() const noexcept { return family_; }

  // The function in a variant's slot, null when the slot is empty.
  Function* Variant(PrimitiveVariant variant) const noexcept {
    return slots_[static_cast<int>(variant)].load(std::memory_order_relaxed);
  }

  // The function the dispatch rule selects for the current processor-type
  // code: the selected slot, or the portable variant when that slot is empty
  // or the processor lacks what the slot's letter needs.
  Function* Select() const noexcept {
    const PrimitiveVariant letter = SelectVariant(GetCpuTypeCode(), family_);
    Function* chosen = Variant(letter);
    return chosen != nullptr && CpuSupportsVariant(letter) ? chosen
                                                           : Variant(PrimitiveVariant::Portable);
  }

  // Stub body: selects, stores the choice as the bound function and returns it.
  Function* Bind() noexcept {
    Function* chosen = Select();
    target_.store(chosen, std::memory_order_relaxed);
    return chosen;
  }

  // Test only: installs a function in a processor-specific slot (null
  // empties it). It takes effect at the next binding. The portable slot
  // cannot be changed.
  void SetVariant(PrimitiveVariant variant, Function* function) noexcept {
    if (variant != PrimitiveVariant::Portable) {
      slots_[static_cast<int>(variant)].store(function, std::memory_order_relaxed);
    }
  }

  // Test only: points the variable back at its stub, so that the next call
  // selects again (by the current processor-type code).
  void ResetToStubForTesting() noexcept { target_.store(stub_, std::memory_order_relaxed); }

  // Test only: binds the named variant directly (the portable variant when
  // its slot is empty), whatever the processor-type code. The caller makes
  // sure the processor has what the letter needs.
  void BindVariantForTesting(PrimitiveVariant variant) noexcept {
    Function* chosen = Variant(variant);
    target_.store(chosen != nullptr ? chosen : Variant(PrimitiveVariant::Portable),
                  std::memory_order_relaxed);
  }

 private:
  std::atomic<Function*> target_;
  Function* const stub_;
  const VariantFamily family_;
  std::atomic<Function*> slots_[4];
};

// The dispatch stub of a pointer variable: a plain function with the
// primitive's signature whose call binds the variable and calls the variant.
template <typename Signature>
struct DispatchStubs;

template <typename R, typename... Args>
struct DispatchStubs<R(Args...)> {
  template <PrimitivePointer<R(Args...)>& Pointer>
  static R Stub(Args... args) {
    return Pointer.Bind()(args...);
  }
};

#define KESTRUNE_DISPATCH_STUB(pointer)                                                          \
  (&DispatchStubs<typename std::remove_reference_t<decltype(pointer)>::Function>::template Stub< \
      pointer>)

// Declares the pointer variable `name` of the primitive whose portable
// variant `namePortable` is declared before it.
#define KESTRUNE_DECLARE_PRIMITIVE(name) extern PrimitivePointer<decltype(name##Portable)> name

// Defines the pointer variable `name`, constant-initialised to its stub, with
// `namePortable` in its portable slot.
#define KESTRUNE_DEFINE_PRIMITIVE(name, family)               \
  constinit PrimitivePointer<decltype(name##Portable)> name { \
    (family), KESTRUNE_DISPATCH_STUB(name), &name##Portable   \
  }

// Defines the pointer variable `name` like KESTRUNE_DEFINE_PRIMITIVE, with
// the processor-specific variants `a`, `b`, `c` (nullptr where the primitive
// has none) in their slots.
#define KESTRUNE_DEFINE_PRIMITIVE_WITH_VARIANTS(name, family, a, b, c)     \
  constinit PrimitivePointer<decltype(name##Portable)> name {              \
    (family), KESTRUNE_DISPATCH_STUB(name), &name##Portable, (a), (b), (c) \
  }
