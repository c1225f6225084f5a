// Which stages of a surface are drawn together in one pass on several texture units, without
// GL: a pass begins at a stage that does not blend, and the stages after it join it, each on
// a unit of its own, while they multiply or add what lies under them with a colour that is
// the same all over the surface and test no alpha. Such a run draws the same picture as its
// stages one over the other (a lightmap stage under a multiplying picture is one pass, as a
// surface without a script is), in a fraction of the time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/shader_entry.h"

constexpr int MaxStageUnits = 4;  // texture units one pass uses at most

// How a stage meets the units before it in a pass.
enum class UnitJoin : uint8_t {
  None,      // it cannot join: drawn in a pass of its own (or begins one)
  Multiply,  // what lies under it times its picture (blendFunc filter, colour white)
  Add,       // what lies under it plus its picture (blendFunc add, colour white)
  AddTinted  // plus its picture times its colour (one colour for the whole surface)
};

struct PassLimits {
  int units = 1;             // texture units one pass may use (1: every stage in a pass of its own)
  bool modulateAdd = false;  // a unit can add its picture times a constant colour
  bool tinted = false;       // the stages that do not multiply are tinted by a colour other than white
  bool vertexLight = false;  // $lightmap shows the vertex colours, which vary over the surface
};

// One pass: stages first .. first + count - 1, stage first + u on unit u.
struct StagePass {
  size_t first = 0, count = 1;
};

// How `stage` joins a pass begun by an earlier stage.
UnitJoin JoinOf(const ShaderStage& stage, const PassLimits& limits);

// The stages in passes, in order (every stage in exactly one).
void PlanStagePasses(const std::vector<ShaderStage>& stages, const PassLimits& limits, std::vector<StagePass>* passes);
