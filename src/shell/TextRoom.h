#pragma once

class QAbstractButton;
class QGroupBox;
class QLabel;
class QRect;
class QWidget;

namespace quorvane {

// The room widgets need to show their texts whole, from their fonts' metrics and the style
// (a style sheet's borders and padding included). The windows place their widgets where their
// forms have them; these say how far a place must grow.
// Thread ownership: the GUI thread, as the widgets they read.

// A label's width for its text; for a label that wraps its words, for its longest word.
[[nodiscard]] int TextWidth(const QLabel& label);
// A button's width for its text, with its frame, padding or mark.
[[nodiscard]] int TextWidth(const QAbstractButton& button);
// A group box's width for its title, with the title's inset on both sides.
[[nodiscard]] int TitleWidth(const QGroupBox& box);
// How much taller than `formLine` the lines of `widget`'s font are: 1 when they fit.
[[nodiscard]] double LineScale(const QWidget& widget, int formLine);
// Widens `widget` to `width` when it is narrower; never narrows it.
void GrowWidth(QWidget& widget, int width);
// Widens `widget` to `width` and its parent by as much, so it keeps its margin.
void GrowWidthInParent(QWidget& widget, int width);
// The area the children that are not hidden cover.
[[nodiscard]] QRect ChildrenArea(const QWidget& container);
// Grows `container` until its children fit in it with `margin` to spare on the right and at
// the bottom; never shrinks it.
void GrowAround(QWidget& container, int margin);
// Makes room in a form laid out by hand, once its widgets have the sizes their texts need:
// first inside its plain containers (group boxes, frames and pages without a layout), then
// among its own widgets: a widget that overlaps one to its left on the same lines moves right,
// `gap` past it, and with it every widget that starts where it started, so columns stay
// columns. A group box grows to its title; the container grows to keep its margins.
void MakeRoom(QWidget& container, int gap);

} // namespace quorvane
