// The key read of a process with no console at all: the bytes of standard
// input, through stdio, so that a program that also reads standard input
// itself loses nothing between the two. A line feed, or CR LF, is Enter, and
// so is the end of input, from then on. (On Windows standard input stays in
// text mode: the C runtime has already turned CR LF into a line feed.)
// Used by the console routines of both platforms; programs call rawkey().
#pragma once

int stdinkey(void);
