// MAIN.BAS line numbers of the polynomial procedures that both programs
// share; run-time error reports and the interrupt message show them.
#pragma once

#include <cstdint>

namespace poly::line {

// ExpandProducts
inline constexpr int16_t kExpandCheck = 4000;
inline constexpr int16_t kExpandDim = 4010;
inline constexpr int16_t kExpandStart = 4020;
inline constexpr int16_t kExpandRow = 4030;
inline constexpr int16_t kExpandProgress = 4031;
inline constexpr int16_t kExpandSign = 4033;
inline constexpr int16_t kExpandMagnitude = 4034;
inline constexpr int16_t kExpandStore = 4035;
inline constexpr int16_t kExpandExponent = 4036;
inline constexpr int16_t kExpandNext = 4040;
// CollectLikeTerms
inline constexpr int16_t kCollectHeader = 4100;
inline constexpr int16_t kCollectRow = 4110;
inline constexpr int16_t kCollectSkip = 4111;
inline constexpr int16_t kCollectCompare = 4120;
inline constexpr int16_t kCollectSum = 4122;
inline constexpr int16_t kCollectStore = 4123;
// ShowProgress
inline constexpr int16_t kShowProgress = 4190;
// FormatAnswer, the ordering passes
inline constexpr int16_t kOrderCount = 4200;
inline constexpr int16_t kOrderDim = 4210;
inline constexpr int16_t kOrderCopy = 4220;
inline constexpr int16_t kOrderPass = 4230;
inline constexpr int16_t kOrderSwap = 4240;

}  // namespace poly::line
