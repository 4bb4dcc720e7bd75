#include "graph/GraphBase.h"

#include <QWidget>

#include "graph/GraphWnd.h"

QWidget* CGraphBaseClass::ParticipantWidget() { return dynamic_cast<QWidget*>(this); }

CGraphWnd* CGraphBaseClass::GetGraphWnd() {
    QWidget* self = ParticipantWidget();
    return self ? FindGraphWnd(self->parentWidget()) : nullptr;
}

int CGraphBaseClass::AppendMenuItems(QMenu*) { return 0; }
int CGraphBaseClass::OnMenuCommand(int) { return 0; }
int CGraphBaseClass::AddPropertyPages(CPropertySheet*) { return 0; }
int CGraphBaseClass::OnPropertySheetClosed(int) { return 0; }

void ForEachParticipant(QWidget* start, const std::function<int(CGraphBaseClass&)>& operation) {
    for (QWidget* w = start; w != nullptr; w = w->parentWidget()) {
        if (auto* participant = dynamic_cast<CGraphBaseClass*>(w)) {
            if (operation(*participant) != 0) return;
        }
    }
}

CGraphWnd* FindGraphWnd(QWidget* start) {
    for (QWidget* w = start; w != nullptr; w = w->parentWidget()) {
        if (auto* graph = dynamic_cast<CGraphWnd*>(w)) return graph;
    }
    return nullptr;
}
