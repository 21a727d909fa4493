#pragma once
// The pictures of the three command buttons, drawn in code. Qt derives the
// greyed image of the disabled state from them.
#include <QIcon>

QIcon ExportPicture();  // a document page with a blue arrow pointing right
QIcon ExitPicture();    // a door with a blue arrow pointing into it
QIcon PolicyPicture();  // a document with coloured bars
