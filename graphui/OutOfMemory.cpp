#include "graphui/OutOfMemory.h"

#include <QApplication>
#include <QTimer>

#include "graph/Prompts.h"
#include "res/Resources.h"

namespace {
bool g_allocationFailed = false;
int g_watches = 0;
}  // namespace

QString OutOfMemoryText() { return QString::fromStdString(kws::res::Format(150)); }

void ShowOutOfMemoryMessage(QWidget* parent) {
    Prompts::Get().Message(parent, OutOfMemoryText(), QString::fromStdString(kws::res::Text(138)),
                           Prompts::kCritical);
}

void NoteAllocationFailure() {
    g_allocationFailed = true;
    if (g_watches > 0 || QCoreApplication::instance() == nullptr) return;
    QTimer::singleShot(0, [] {
        if (g_watches == 0 && TakeAllocationFailure())
            ShowOutOfMemoryMessage(QApplication::activeWindow());
    });
}

bool TakeAllocationFailure() {
    const bool failed = g_allocationFailed;
    g_allocationFailed = false;
    return failed;
}

AllocationWatch::AllocationWatch() { ++g_watches; }

AllocationWatch::~AllocationWatch() { --g_watches; }
