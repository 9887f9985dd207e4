#pragma once

// A line's section as a picture of its own: laid out for the picture's size and drawn by the
// profile painter into an off-screen image, with the header, the footer, the axes and labels
// and, when asked, the colour bar. The report embeds it as a JPEG encoded in memory, so that two
// reports written at once never share a picture file.

#include <QImage>
#include <QSize>

#include <vector>

#include "export/RtfReport.h"

namespace fluvex {

class Database;

// White where nothing is drawn; a null image for an empty size.
QImage DrawProfilePicture(Database& database, int line, QSize size, bool withColourBar);

class ProfileJpegPictures final : public ReportPictures {
public:
    ProfileJpegPictures(Database& database, bool withColourBar)
        : database_(database), withColourBar_(withColourBar) {}

    std::vector<unsigned char> LineJpeg(int line, int width, int height) override;

private:
    Database& database_;
    bool withColourBar_;
};

}  // namespace fluvex
