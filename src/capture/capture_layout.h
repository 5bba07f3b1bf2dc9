// Where the capture form puts its loupe and information pane around the pointer, as a pure function.
#pragma once

#include <QPointF>
#include <QRectF>

namespace pxh {

struct TLoupePlacementInput {
    // The pointer, in form coordinates.
    QPointF Pointer;
    // The selection's fixed corner (Left, Top) and moving corner (Right, Bottom); all equal the
    // pointer while choosing the start point.
    qreal Left = 0, Top = 0, Right = 0, Bottom = 0;
    qreal Width = 0, Height = 0;
    bool ShowZoomTool = true;
    bool ShowSizePane = true;
    // Physical pixels per form pixel: both boxes are aligned to the physical grid.
    qreal Zoom = 1;
};

struct TLoupePlacement {
    QRectF Loupe;
    QRectF Pane;
};

inline constexpr qreal LoupeSize = 88;
inline constexpr qreal PaneWidth = 110;
inline constexpr qreal PaneHeight = 55;

// Keeps both boxes on the form beside the moving corner: the loupe goes to the side with room, the pane
// where it does not cover the loupe.
TLoupePlacement PlaceLoupeAndPane(const TLoupePlacementInput& AInput);

// Rounds a form coordinate to the nearest physical pixel.
qreal SnapToPhysical(qreal AValue, qreal AZoom);

} // namespace pxh
