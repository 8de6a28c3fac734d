#pragma once

class QFrame;
class QLabel;
class QWidget;

// The raised frame `Frame1` that fills a borderless notice window (splash, completion).
QFrame *fillWithNoticeFrame(QWidget *window);

// Bold, 12 point: the notices' headings.
void makeNoticeHeading(QLabel *label);
