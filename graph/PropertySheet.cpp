#include "graph/PropertySheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "res/Resources.h"

QString CheckMessage(const char* key) { return QString::fromStdString(kws::res::Text(key)); }

CPropertySheet::CPropertySheet(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    pages_.push_back(page);
    tabs_->addTab(page, page->Title());
}

void CPropertySheet::Prepare() {
    if (prepared_) return;
    prepared_ = true;
    for (CPropertyPage* p : pages_) {
        p->OnInitDialog();
        p->UpdateData(false);
    }
}

void CPropertySheet::accept() {
    for (CPropertyPage* p : pages_) {
        if (!p->UpdateData(true)) {
            tabs_->setCurrentWidget(p);
            return;
        }
    }
    QDialog::accept();
}
