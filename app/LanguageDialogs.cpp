#include "app/LanguageDialogs.h"

#include <QLabel>
#include <QPushButton>

#include "graph/Prompts.h"
#include "graphui/AppIcon.h"
#include "graphui/DialogUnits.h"
#include "res/Resources.h"

namespace {
QString Text(const char* key) { return QString::fromStdString(kws::res::Text(key)); }
}  // namespace

CLangSelect::CLangSelect(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Text("D131.caption"));
    setFont(DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(150, 150));
    // Buttons in the order Deutsch, Englisch, Spanisch, Französisch, Italienisch, Portugiesisch.
    const struct {
        int id;
        int code;
    } buttons[] = {{1032, 2}, {1033, 0}, {1034, 1}, {1035, 3}, {1036, 4}, {1037, 5}};
    const int rows[] = {7, 30, 53, 76, 99, 122};
    for (int i = 0; i < 6; ++i) {
        auto* b =
            new QPushButton(Text(QString("D131.%1").arg(buttons[i].id).toUtf8().constData()), this);
        b->setObjectName(QString::number(buttons[i].id));
        b->setGeometry(du.Rect(35, rows[i], 80, 19));
        b->setAutoDefault(false);
        const int code = buttons[i].code;
        connect(b, &QPushButton::clicked, this, [this, code] { done(code); });
    }
}

int CLangSelect::DoModal() {
    const int result = Prompts::Get().Exec(*this);
    // Closing it any other way gives the cancel result, 2: German.
    return result >= 0 && result <= 5 ? result : 2;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(Text("D100.caption"));
    setFont(DialogFont());
    const DialogUnits du(font());
    setFixedSize(du.Size(213, 100));
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setGeometry(du.X(11), du.Y(16), 32, 32);
    auto* text = new QLabel(Text("D100.text"), this);
    text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    text->setGeometry(du.Rect(40, 8, 117, 49));
    auto* notice = new QLabel(Text("D100.notice"), this);
    notice->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    notice->setGeometry(du.Rect(40, 65, 119, 24));
    auto* ok = new QPushButton(Text("D100.1"), this);
    ok->setObjectName("1");
    ok->setGeometry(du.Rect(157, 7, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
