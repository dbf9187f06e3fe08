#pragma once
// Shows the core's messages as real modal message boxes (icon, buttons and
// title as given), owned by parent.
class QWidget;
void InstallQtMessageBoxes(QWidget* parent);
