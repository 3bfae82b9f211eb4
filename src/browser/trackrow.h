#pragma once

#include <QMetaType>
#include <QVector>

class TBOX;
class TMObj;

// What a track list row shows: a child box, or a media item of the box.
struct TTrackRow {
    TBOX* box = nullptr;
    TMObj* item = nullptr;
};
using TTrackRows = QVector<TTrackRow>;

Q_DECLARE_METATYPE(TTrackRow)
Q_DECLARE_METATYPE(TTrackRows)
