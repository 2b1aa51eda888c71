#pragma once

// What of a window's texts is cut as it is shown now: each visible widget's text against the
// room the widget gives it, each widget against its parent's edges, each against the siblings
// drawn over it.
#include <QWidget>

#include <string>
#include <vector>

namespace quorvane::fakes {

// One line for each cut: the window, the widget's name, its text, what is cut and by how much.
std::vector<std::string> CutTexts(const QWidget& window);

} // namespace quorvane::fakes
