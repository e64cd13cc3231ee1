#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <vector>

namespace artgen {

struct Artwork
{
    QString path; // relative to the resources folder
    std::function<QImage()> paint;
};

std::vector<Artwork> catalogue();

} // namespace artgen
