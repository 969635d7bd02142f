// The window of a table the program shows: its cells, a button that copies them, one to close.
#pragma once

class QWidget;
struct TableView;

// Runs the table's window over `parent` until the user closes it.
void RunTableWindow(const TableView& table, QWidget* parent);
