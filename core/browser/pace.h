#pragma once
// The pause after every row of a grid fill, so a user can watch the rows come.

inline constexpr int kRowPauseMs = 50;

int RowPauseMs();
void SetRowPauseMsForTests(int ms);

// Sleeps the GUI thread for RowPauseMs().
void PauseAfterRow();
