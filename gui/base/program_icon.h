#pragma once
// The program's icon, a criteria sheet with ticked lines under a magnifying
// glass on a blue tile: drawn from its shapes, so that every size is sharp.
// The windows show it, and the package's icon files are drawn from it.
#include <QIcon>
#include <QImage>

// The icon drawn at `size` x `size` pixels.
QImage ProgramIconImage(int size);

// The icon in the sizes that window managers and docks ask for.
QIcon ProgramIcon();
