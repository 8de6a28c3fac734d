#pragma once

#include <QList>

class QWidget;

namespace quillfen::app {

// Remembers the order in which the program's windows were first shown (the toolkit keeps
// none), so that closing the main window can close the others newest first.
void trackWindowOrder();

// The windows that still exist, newest first; pop-ups and tooltips are left out.
QList<QWidget *> windowsNewestFirst();

} // namespace quillfen::app
