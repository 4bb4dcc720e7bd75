#include "graph/PropertyPages.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <climits>
#include <cmath>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "res/Resources.h"

namespace {

QString Tr(const char* key) { return QString::fromStdString(kws::res::Text(key)); }

// The curve page's button for the selected curve: hides a shown curve, shows a hidden one.
constexpr const char* kTextHide = "G.hide";
constexpr const char* kTextShow = "G.show";

QLineEdit* Edit(QWidget* parent, const char* id) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(id);
    return e;
}

void Complain(QWidget* page, QLineEdit* field, const QString& text) {
    Prompts::Get().Message(page, text, QString::fromStdString(kws::res::Text(138)),
                           Prompts::kExclamation);
    field->setFocus();
    field->selectAll();
}

// Reads a decimal number as the sheet's number fields take it.
bool ReadDouble(QLineEdit* field, double& out) {
    bool ok = false;
    const double v = field->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool ReadLong(QLineEdit* field, long& out) {
    bool ok = false;
    const long long v = field->text().trimmed().toLongLong(&ok);
    if (!ok || v < LONG_MIN || v > LONG_MAX) return false;
    out = static_cast<long>(v);
    return true;
}

}  // namespace

CGraphPropertyPage::CGraphPropertyPage() : CPropertyPage(Tr("D104.caption")) {
    auto* layout = new QGridLayout(this);
    const char* ids[4] = {"1016", "1017", "1018", "1019"};
    for (int i = 0; i < 4; ++i) edits_[i] = Edit(this, ids[i]);
    layout->addWidget(new QLabel(Tr("D104.horizontal"), this), 0, 0, 1, 4);
    layout->addWidget(new QLabel(Tr("D104.from"), this), 1, 0);
    layout->addWidget(edits_[0], 1, 1);
    layout->addWidget(new QLabel(Tr("D104.to"), this), 1, 2);
    layout->addWidget(edits_[1], 1, 3);
    layout->addWidget(new QLabel(Tr("D104.vertical"), this), 2, 0, 1, 4);
    layout->addWidget(new QLabel(Tr("D104.from"), this), 3, 0);
    layout->addWidget(edits_[2], 3, 1);
    layout->addWidget(new QLabel(Tr("D104.to"), this), 3, 2);
    layout->addWidget(edits_[3], 3, 3);
    markBox_ = new QCheckBox(Tr("D104.1027"), this);
    markBox_->setObjectName("1027");
    trackBox_ = new QCheckBox(Tr("D104.1028"), this);
    trackBox_->setObjectName("1028");
    gridBox_ = new QCheckBox(Tr("D104.1021"), this);
    gridBox_->setObjectName("1021");
    layout->addWidget(markBox_, 4, 0, 1, 4);
    layout->addWidget(trackBox_, 5, 0, 1, 4);
    layout->addWidget(gridBox_, 6, 0, 1, 4);
    layout->setRowStretch(7, 1);
}

bool CGraphPropertyPage::UpdateData(bool save) {
    double* fields[4] = {&x0, &x1, &y0, &y1};
    if (!save) {
        for (int i = 0; i < 4; ++i) edits_[i]->setText(QString::number(*fields[i], 'g', 15));
        markBox_->setChecked(markPoints);
        trackBox_->setChecked(trackMouse);
        gridBox_->setChecked(grid);
        return true;
    }
    double values[4];
    for (int i = 0; i < 4; ++i) {
        if (!ReadDouble(edits_[i], values[i])) {
            Complain(this, edits_[i], CheckMessage("M.number"));
            return false;
        }
    }
    for (int i = 0; i < 4; ++i) *fields[i] = values[i];
    markPoints = markBox_->isChecked();
    trackMouse = trackBox_->isChecked();
    grid = gridBox_->isChecked();
    return true;
}

CAxisPropertyPage::CAxisPropertyPage() : CPropertyPage(Tr("D105.caption")) {
    auto* layout = new QVBoxLayout(this);
    const char* ids[6] = {"1029", "1020", "1022", "1030", "1023", "1025"};
    for (int i = 0; i < 6; ++i) edits_[i] = Edit(this, ids[i]);
    for (int axis = 0; axis < 2; ++axis) {
        auto* box = new QGroupBox(Tr(axis == 0 ? "D105.horizontal" : "D105.vertical"), this);
        auto* grid = new QGridLayout(box);
        grid->addWidget(new QLabel(Tr("D105.name"), box), 0, 0);
        grid->addWidget(edits_[3 * axis + 1], 0, 1);
        grid->addWidget(new QLabel(Tr("D105.units"), box), 1, 0);
        grid->addWidget(edits_[3 * axis + 2], 1, 1);
        grid->addWidget(new QLabel(Tr("D105.precision"), box), 2, 0);
        grid->addWidget(edits_[3 * axis], 2, 1);
        layout->addWidget(box);
    }
    layout->addStretch(1);
}

bool CAxisPropertyPage::UpdateData(bool save) {
    if (!save) {
        edits_[0]->setText(QString::number(horizontalPrecision));
        edits_[1]->setText(horizontalName);
        edits_[2]->setText(horizontalUnits);
        edits_[3]->setText(QString::number(verticalPrecision));
        edits_[4]->setText(verticalName);
        edits_[5]->setText(verticalUnits);
        return true;
    }
    long precision[2];
    for (int axis = 0; axis < 2; ++axis) {
        QLineEdit* field = edits_[3 * axis];
        if (!ReadLong(field, precision[axis])) {
            Complain(this, field, CheckMessage("M.int"));
            return false;
        }
        if (precision[axis] < 0 || precision[axis] > 10) {
            Complain(this, field, CheckMessage("M.int_range").arg(0).arg(10));
            return false;
        }
    }
    horizontalPrecision = precision[0];
    horizontalName = edits_[1]->text();
    horizontalUnits = edits_[2]->text();
    verticalPrecision = precision[1];
    verticalName = edits_[4]->text();
    verticalUnits = edits_[5]->text();
    return true;
}

CGraphPropsListBox::CGraphPropsListBox(QWidget* parent) : CGraphList(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

bool CGraphPropsListBox::ItemLook(int row, COLORREF& color, QString& name) const {
    QWidget* p = parentWidget();
    auto* page = p ? dynamic_cast<CGraphicsPropertyPage*>(p) : nullptr;
    if (page == nullptr || row < 0 || row >= static_cast<int>(page->Copies().size())) return false;
    const CGraphProps& copy = *page->Copies()[static_cast<size_t>(row)];
    color = copy.GetColor();
    name = copy.GetTitle();
    return true;
}

bool CGraphPropsListBox::ItemShown(int row) const {
    QWidget* p = parentWidget();
    auto* page = p ? dynamic_cast<CGraphicsPropertyPage*>(p) : nullptr;
    if (page == nullptr || row < 0 || row >= static_cast<int>(page->Copies().size())) return true;
    return page->Copies()[static_cast<size_t>(row)]->IsShown();
}

CGraphicsPropertyPage::CGraphicsPropertyPage(CGraphWnd* graph) : CPropertyPage(Tr("D106.caption")) {
    int position = 0;
    for (const CGraphProps* s = graph->GetFirstSeries(position); s != nullptr;
         s = graph->GetNextSeries(position)) {
        auto copy = std::make_unique<CGraphProps>(*s);
        copy->SetIndex(position);
        copies_.push_back(std::move(copy));
    }
    auto* layout = new QGridLayout(this);
    list_ = new CGraphPropsListBox(this);
    list_->setObjectName("1024");
    layout->addWidget(list_, 0, 0, 5, 1);
    auto button = [&](const QString& text, const char* id, int row,
                      void (CGraphicsPropertyPage::*slot)()) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(id);
        layout->addWidget(b, row, 1);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    button(Tr("D106.1013"), "1013", 0, &CGraphicsPropertyPage::OnColor);
    button(Tr("D106.1012"), "1012", 1, &CGraphicsPropertyPage::OnName);
    showHide_ = button(Tr(kTextHide), "1026", 2, &CGraphicsPropertyPage::OnShowHide);
    button(Tr("D106.1031"), "1031", 3, &CGraphicsPropertyPage::OnShowAll);
    layout->addWidget(new QLabel(Tr("D106.name"), this), 5, 0, 1, 2);
    nameEdit_ = Edit(this, "1002");
    nameEdit_->setReadOnly(true);
    layout->addWidget(nameEdit_, 6, 0, 1, 2);
    connect(list_, &QListWidget::currentRowChanged, this,
            &CGraphicsPropertyPage::OnSelectionChange);
}

CGraphicsPropertyPage::~CGraphicsPropertyPage() = default;

void CGraphicsPropertyPage::OnInitDialog() {
    const QSignalBlocker block(list_);
    for (size_t i = 0; i < copies_.size(); ++i) list_->AddSeriesItem(static_cast<int>(i));
    if (!copies_.empty()) {
        list_->setCurrentRow(0);
        list_->item(0)->setSelected(true);
    }
}

bool CGraphicsPropertyPage::UpdateData(bool save) {
    if (!save) nameEdit_->setText(selectedName);
    return true;
}

CGraphProps* CGraphicsPropertyPage::Selected() const {
    const int row = list_->currentRow();
    if (row < 0 || row >= static_cast<int>(copies_.size())) return nullptr;
    return copies_[static_cast<size_t>(row)].get();
}

void CGraphicsPropertyPage::UpdateShowHideText() {
    if (const CGraphProps* s = Selected())
        showHide_->setText(Tr(s->IsShown() ? kTextHide : kTextShow));
}

void CGraphicsPropertyPage::OnColor() {
    CGraphProps* s = Selected();
    if (s == nullptr) return;
    if (const auto color = Prompts::Get().ChooseColor(this, ToQColor(s->GetColor()))) {
        s->SetColor(FromQColor(*color));
        list_->viewport()->repaint();
    }
}

void CGraphicsPropertyPage::OnName() {
    CGraphProps* s = Selected();
    if (s == nullptr) return;
    CGraphTitlePrompt prompt;
    prompt.title = s->GetTitle();
    if (prompt.DoModal() == IDOK) {
        s->SetTitle(prompt.title);
        list_->viewport()->repaint();
        selectedName = prompt.title;
        UpdateData(false);
    }
}

void CGraphicsPropertyPage::OnShowHide() {
    CGraphProps* s = Selected();
    if (s == nullptr) return;
    s->SetShown(s->IsShown() ? 0 : 1);
    UpdateShowHideText();
    list_->viewport()->update();
}

void CGraphicsPropertyPage::OnShowAll() {
    for (auto& c : copies_) c->SetShown(1);
    UpdateShowHideText();
    list_->viewport()->update();
}

void CGraphicsPropertyPage::OnSelectionChange() {
    const int row = list_->currentRow();
    if (row < 0 || row >= static_cast<int>(copies_.size())) return;
    if (QListWidgetItem* item = list_->item(row)) item->setSelected(true);
    UpdateShowHideText();
    selectedName = copies_[static_cast<size_t>(row)]->GetTitle();
    UpdateData(false);
}

CGraphTitlePrompt::CGraphTitlePrompt(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Tr("D103.caption"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(Tr("D103.label"), this));
    edit_ = Edit(this, "1015");
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

int CGraphTitlePrompt::DoModal() {
    edit_->setText(title);
    const int result = Prompts::Get().Exec(*this);
    if (result == QDialog::Accepted) {
        title = edit_->text();
        return IDOK;
    }
    return IDCANCEL;
}
