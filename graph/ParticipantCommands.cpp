#include "graph/ParticipantCommands.h"

#include <QMenu>

#include "graph/GraphBase.h"
#include "graph/GraphNotification.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graph/PropertySheet.h"
#include "res/Resources.h"

namespace {
constexpr const char* kTextProperties = "G.properties";
}  // namespace

QString PropertiesText() { return QString::fromStdString(kws::res::Text(kTextProperties)); }

void RunParticipantMenu(QWidget* start, const QPoint& globalPos) {
    QMenu menu(start);
    ForEachParticipant(start, [&menu](CGraphBaseClass& p) { return p.AppendMenuItems(&menu); });
    if (menu.isEmpty()) return;
    const QSize size = menu.sizeHint();
    QAction* chosen = menu.exec(globalPos - QPoint(size.width() / 2, 0));
    if (chosen == nullptr) return;
    const int id = chosen->data().toInt();
    if (IsGraphCommand(id))
        ForEachParticipant(start, [id](CGraphBaseClass& p) { return p.OnMenuCommand(id); });
}

void OpenParticipantSheet(QWidget* start) {
    CPropertySheet sheet(PropertiesText(), start);
    ForEachParticipant(start, [&sheet](CGraphBaseClass& p) { return p.AddPropertyPages(&sheet); });
    sheet.Prepare();
    const int result = Prompts::Get().Exec(sheet) == QDialog::Accepted ? IDOK : IDCANCEL;
    ForEachParticipant(start,
                       [result](CGraphBaseClass& p) { return p.OnPropertySheetClosed(result); });
    CGraphWnd* graph = FindGraphWnd(start);
    if (result == IDOK && graph != nullptr) graph->Redraw(-1);
    // The keys go to the plot again, whichever window opened the sheet.
    if (graph != nullptr && graph->Panel() != nullptr)
        graph->Panel()->setFocus(Qt::OtherFocusReason);
}
