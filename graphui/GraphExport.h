// "Speichern" and "Ausdrucken" of the result dialog: the graph window's pixels as an image file
// of 1280 x 1024, and the title, plot and legend on one landscape page.
#pragma once

#include <QString>

class CNewGraph;
class FCObjImage;
class QPrinter;
class QRect;
class QWidget;

// The pixels of `widget` in `rect` as a 24-bit image; false for an empty rectangle or a screen
// of 8 bits per pixel or less.
bool CaptureWidget(QWidget* widget, const QRect& rect, FCObjImage& image);

// Captures the whole graph window, stretches it to 1280 x 1024 and saves it in the format of
// the path's extension.
bool SaveGraphImage(CNewGraph& dialog, const QString& path);

// Prints title, plot and legend on one landscape page of `printer`; false when the page failed
// (the document is then aborted). The two bitmap files the page is built from live in a private
// temporary folder and are gone afterwards in every case.
bool PrintGraphPage(CNewGraph& dialog, QPrinter& printer);

// The commands with their dialogs: the save-file dialog, the print setup dialog.
void OnSaveCommand(CNewGraph& dialog);
void OnPrintCommand(CNewGraph& dialog);

// Wires "Speichern" and "Ausdrucken" of every result dialog to the commands above.
void InstallGraphCommands();
