// The action behind the query label: reads the product ID from the edit box, fetches the comparison page,
// and writes the two numbers, the product image and the detail link into the window, in that order.
//
//   {.name = "透明标签196", ..., .on_left_press = run_lookup}
#pragma once

#include "ui/toolkit.h"

// Runs one lookup on the UI thread; the press's position and modifier keys are ignored. Nothing is
// checked or reported: every failure shows up as an empty value in a control.
void run_lookup(const PressEvent& press);
