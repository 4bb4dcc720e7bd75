// The participant interface: every window of a graph can add items to the graph's one context
// menu, act on its commands, and contribute pages to its one property sheet. ForEachParticipant
// visits the windows from a start window up to the outermost graph window.
#pragma once

#include <functional>

class QMenu;
class QWidget;
class CGraphWnd;
class CPropertySheet;

class CGraphBaseClass {
public:
    virtual ~CGraphBaseClass() = default;

    // The graph window that encloses this participant, or nullptr.
    virtual CGraphWnd* GetGraphWnd();
    virtual int AppendMenuItems(QMenu* menu);
    virtual int OnMenuCommand(int id);
    virtual int AddPropertyPages(CPropertySheet* sheet);
    virtual int OnPropertySheetClosed(int result);

    // The window this participant is (the object is a QWidget as well).
    QWidget* ParticipantWidget();
};

// Visits `start` and then each parent window in turn; calls `operation` for every window that is
// a participant, innermost first, and stops early when it returns non-zero.
void ForEachParticipant(QWidget* start, const std::function<int(CGraphBaseClass&)>& operation);

// The nearest window at or above `start` that is a graph window.
CGraphWnd* FindGraphWnd(QWidget* start);

// Context-menu command identifiers.
enum GraphCommand : int {
    kCmdMarkPoints = 4097,
    kCmdNoLines = 4098,
    kCmdTrackMouse = 4099,
    kCmdGrid = 4100,
    kCmdZoomTool = 4101,
    kCmdApplyZoom = 4102,
    kCmdFitWidth = 4103,
    kCmdFitHeight = 4104,
    kCmdFitPage = 4105,
    kCmdLegend = 4106,
    kCmdProperties = 4107,
    // Back and forth through the views the user has left.
    kCmdViewBack = 4110,
    kCmdViewForward = 4111,
    // The readout of every curve at the sample under the mouse (beside "track the mouse").
    kCmdReadout = 4130,
};
inline bool IsGraphCommand(int id) {
    return (id >= kCmdMarkPoints && id <= kCmdProperties) || id == kCmdViewBack ||
           id == kCmdViewForward || id == kCmdReadout;
}

// Result codes of modal dialogs.
enum : int { IDOK = 1, IDCANCEL = 2 };
