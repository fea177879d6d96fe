// The band plan as a picture: a frequency axis from 0 to Fsample/2 with the downstream and
// upstream bands on it, each labelled with its line rate, and a warning line under it when
// the bands collide or leave the range.
#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class QLabel;

namespace rw::ui {

struct StripBand {
    bool downstream = true;
    double low = 0, high = 0, centre = 0; // MHz
    QString label;                        // "DS 12.96 Mbit/s"
    bool bad = false;                     // overlapping or out of range: drawn red
};

class BandStrip : public QWidget {
public:
    explicit BandStrip(QWidget* parent = nullptr);
    // `top`: the upper end of the usable range (Fsample/2); 0 when there is none.
    void setPlan(double top, std::vector<StripBand> bands, const QString& warning);
    QString warning() const;

private:
    class Axis;
    Axis* axis_ = nullptr;
    QLabel* warning_ = nullptr;
};

} // namespace rw::ui
