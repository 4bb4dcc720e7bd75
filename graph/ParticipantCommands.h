// The context menu and the property sheet shared by every participant of a graph: both are
// built from the widget the user acted on up through its parents.
#pragma once

class QPoint;
class QString;
class QWidget;

// The text of the "Properties" command and the caption of the property sheet.
QString PropertiesText();

// Runs the graph's context menu built from `start` up (centred horizontally on the click), and
// passes the chosen command to every participant on the way.
void RunParticipantMenu(QWidget* start, const QPoint& globalPos);
// Opens the property sheet from `start` with the pages of the participants on the way, tells
// them how it closed, and redraws the graph after OK.
void OpenParticipantSheet(QWidget* start);
