// Allocation failure as an ordinary error: the message the program shows for it, and a note
// that the application's event dispatch leaves when it catches a failure in an event handler,
// for the long work that pumps events to pick up.
#pragma once

#include <QString>

class QWidget;

// Text 150 in the current language.
QString OutOfMemoryText();
// The message box (caption 138) that ends a command which ran out of memory.
void ShowOutOfMemoryMessage(QWidget* parent);

// Leaves the note; TakeAllocationFailure returns whether one was left and clears it. Outside of
// long work the note turns into the message as soon as the event loop runs again.
void NoteAllocationFailure();
bool TakeAllocationFailure();

// Marks long work that takes the note itself (the graph build) while it lives.
class AllocationWatch {
public:
    AllocationWatch();
    ~AllocationWatch();
    AllocationWatch(const AllocationWatch&) = delete;
    AllocationWatch& operator=(const AllocationWatch&) = delete;
};
