#pragma once

class QApplication;

namespace quorvane {

// The visual style "Amethyst Kamri": purple tones over the platform's widgets. Returns false
// when it could not be applied; start-up goes on either way.
bool ApplyAmethystKamri(QApplication& application);

} // namespace quorvane
