#include "controllogic/GradCaptionPasses.h"

namespace palomix {

std::vector<CaptionPass> CaptionPasses(const CaptionLook& look) {
    if (!look.enabled) {
        return {CaptionPass{1, 1, RGBColor(255, 255, 255)},
                CaptionPass{0, 0, RGBColor(128, 128, 128)}};
    }
    std::vector<CaptionPass> passes;
    if (look.font3D) {
        const int depth = look.fontDepth;
        switch (look.style3D) {
            case fsLowShadow:
                passes.push_back({depth, depth, look.backFont});
                break;
            case fsRaiseShadow:
                passes.push_back({-depth, -depth, look.backFont});
                break;
            case fsLow3D:
                for (int layer = 1; layer <= depth; ++layer) {
                    passes.push_back({layer, layer, look.backFont});
                }
                break;
            case fsRaise3D:
                for (int layer = 1; layer <= depth; ++layer) {
                    passes.push_back({-layer, -layer, look.backFont});
                }
                break;
        }
    }
    passes.push_back({0, 0, look.fontColor});
    return passes;
}

}  // namespace palomix
