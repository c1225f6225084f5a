// Stages gathered into passes on several texture units (stage_passes.h).
#include "level/stage_passes.h"

namespace {

constexpr uint32_t One = 1, Zero = 0, DstColor = 0x0306, SrcColor = 0x0300;

bool White(const ShaderStage& stage) {
  switch (stage.colour) {
    case ColourSource::Identity:
    case ColourSource::IdentityLighting:
      return true;
    case ColourSource::Constant:
      return stage.constant[0] >= 1 && stage.constant[1] >= 1 && stage.constant[2] >= 1;
    default:
      return false;
  }
}

bool Uniform(const ShaderStage& stage) {
  return stage.colour != ColourSource::Vertex && stage.colour != ColourSource::ExactVertex;
}

}  // namespace

UnitJoin JoinOf(const ShaderStage& stage, const PassLimits& limits) {
  if (!stage.blends || stage.alphaTest != AlphaTest::None) return UnitJoin::None;
  // $lightmap on a face without a page shows its vertex colours: not one colour.
  if (stage.image == StageImage::Lightmap && limits.vertexLight) return UnitJoin::None;
  const bool multiplies = (stage.blendSource == DstColor && stage.blendDestination == Zero) ||
                          (stage.blendSource == Zero && stage.blendDestination == SrcColor);
  if (multiplies) return White(stage) ? UnitJoin::Multiply : UnitJoin::None;
  if (stage.blendSource == One && stage.blendDestination == One) {
    if (White(stage) && !limits.tinted) return UnitJoin::Add;
    if (Uniform(stage) && limits.modulateAdd) return UnitJoin::AddTinted;
  }
  return UnitJoin::None;
}

void PlanStagePasses(const std::vector<ShaderStage>& stages, const PassLimits& limits, std::vector<StagePass>* passes) {
  passes->clear();
  const size_t units = limits.units < 1 ? 1 : static_cast<size_t>(limits.units > MaxStageUnits ? MaxStageUnits : limits.units);
  for (size_t k = 0; k < stages.size();) {
    StagePass pass;
    pass.first = k;
    // Only a stage that covers what lies under it can take the stages after it along: the
    // blends of the units then act on its colour alone, as they would on the frame's.
    if (!stages[k].blends)
      while (pass.count < units && k + pass.count < stages.size() &&
             JoinOf(stages[k + pass.count], limits) != UnitJoin::None)
        ++pass.count;
    passes->push_back(pass);
    k += pass.count;
  }
}
