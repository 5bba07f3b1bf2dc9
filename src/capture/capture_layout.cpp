// The loupe and pane placement table of the capture form.
#include "capture/capture_layout.h"

#include <cmath>

namespace pxh {

qreal SnapToPhysical(qreal AValue, qreal AZoom) {
    return AZoom > 0 ? std::round(AValue * AZoom) / AZoom : AValue;
}

TLoupePlacement PlaceLoupeAndPane(const TLoupePlacementInput& AInput) {
    const qreal z = AInput.Zoom;
    const QPointF p(SnapToPhysical(AInput.Pointer.x(), z), SnapToPhysical(AInput.Pointer.y(), z));
    const qreal L = AInput.Left, T = AInput.Top, R = AInput.Right, B = AInput.Bottom;
    const qreal W = AInput.Width, H = AInput.Height;
    const qreal PW = AInput.ShowSizePane ? 116 : 0, PH = AInput.ShowSizePane ? 61 : 0;
    const qreal LW = AInput.ShowZoomTool ? 94 : 0, LH = LW;
    const bool rightward = R >= L, downward = B >= T;
    const bool below = (downward && H >= B + LoupeSize) || (!downward && B < LoupeSize);

    QPointF loupe, pane;
    int quadrant = 0;
    if (rightward && W >= R + LoupeSize) {
        if (below) {
            loupe = {0, 0};
            quadrant = 0;
            if (R > PW && downward) {
                pane = {-6, 6};
            } else if (R > PW && !downward) {
                pane = {6, LH};
            } else if (B > PH) {
                pane = {PW, -PH};
            } else {
                pane = {PW + LW, 6};
            }
        } else {
            loupe = {0, -LoupeSize};
            quadrant = 270;
            if (H > B + PH + 6 && W > R + PW + 6) {
                pane = {PW + 6, 6};
            } else if (W > R + PW + 6) {
                pane = {PW + 6, -PH - 6 - LH};
            } else {
                pane = {-6, -PH - 6};
            }
        }
    } else if (rightward) {
        if (below) {
            loupe = {-LoupeSize, 0};
            quadrant = 90;
            pane = (B > PH + 6 && !downward) ? QPointF(-6, -PH - 6) : QPointF(-LW - 6, 6);
        } else {
            loupe = {-LoupeSize, -LH};
            quadrant = 180;
            pane = {-LW, -PH - 6};
        }
    } else if (R >= LoupeSize) {
        if (below) {
            loupe = {-LoupeSize, 0};
            quadrant = 90;
            if (B > PH + 6 && R > PW + 6) {
                pane = {-6, -PH - 6};
            } else if (B > T || R < PW + 6) {
                pane = {PW + 6, 6};
            } else {
                pane = {-6, LoupeSize};
            }
        } else {
            loupe = {-LoupeSize, -LoupeSize};
            quadrant = 180;
            if (H > B + PH && R > PW + 6) {
                pane = {-6, 6};
            } else if (!downward && W > R + PW + 6) {
                pane = {PW + 6, -PH - 6};
            } else if (downward) {
                pane = {-6, -LoupeSize - PH};
            } else {
                pane = {-LoupeSize, -PH - 6};
            }
        }
    } else {
        if (below) {
            loupe = {0, 0};
            quadrant = 0;
            pane = R > PW + 6 ? QPointF(-6, 6) : QPointF(LoupeSize + PW, 6);
        } else {
            loupe = {0, -LoupeSize};
            quadrant = 270;
            pane = R > PW + 6 ? QPointF(-6, -PH - 6) : QPointF(LoupeSize + PW, -PH - 6);
        }
    }
    if (AInput.ShowZoomTool) {
        switch (quadrant) {
        case 0:
            loupe += QPointF(6, 6);
            break;
        case 90:
            loupe += QPointF(-6, 6);
            break;
        case 180:
            loupe += QPointF(-6, -6);
            break;
        default:
            loupe += QPointF(6, -6);
        }
    }
    const auto aligned = [z](QPointF APoint) {
        return QPointF(SnapToPhysical(APoint.x(), z), SnapToPhysical(APoint.y(), z));
    };
    TLoupePlacement result;
    result.Loupe = QRectF(aligned(p + loupe), QSizeF(LoupeSize, LoupeSize));
    result.Pane = QRectF(aligned(QPointF(p.x() - PaneWidth, p.y()) + pane), QSizeF(PaneWidth, PaneHeight));
    return result;
}

} // namespace pxh
