#include "platform/emu/gdi/DibStretcher.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace emu::gdi {

namespace {

constexpr int kMaxDestinationSide = 1 << 15;
constexpr int kMaxCoordinate = 1 << 28;

bool reasonable(int coordinate) {
    return coordinate > -kMaxCoordinate && coordinate < kMaxCoordinate;
}

} // namespace

std::vector<int> DibStretcher::sampleMap(int destinationSize, int sourceStart, int sourceSize,
                                         bool mirror) const {
    // Every destination pixel samples the source pixel under its centre.
    std::vector<int> map(static_cast<size_t>(destinationSize));
    for (int d = 0; d < destinationSize; ++d) {
        int s = static_cast<int>((2LL * d + 1) * sourceSize / (2LL * destinationSize));
        if (mirror) {
            s = sourceSize - 1 - s;
        }
        map[d] = sourceStart + s;
    }
    return map;
}

void DibStretcher::drawRow(int screenY, int destinationLeft, const std::vector<int>& columns,
                           int sourceRow) {
    if (!m_image.hasRow(sourceRow)) {
        return;
    }
    const int width = static_cast<int>(columns.size());
    const int imageWidth = m_image.width();
    if (sourceRow != m_colouredRow) {
        m_rowColours.resize(static_cast<size_t>(imageWidth));
        m_image.rowColours(m_image.row(sourceRow), m_rowColours.data());
        m_colouredRow = sourceRow;
    }
    const COLORREF* colours = m_rowColours.data();
    // Unstretched and not mirrored: the columns follow each other, and each
    // span is one copy of the part of it that lies on the picture.
    const bool contiguous = width > 0 && columns.back() - columns.front() == width - 1;
    m_out.forEachSpan(screenY, destinationLeft, destinationLeft + width, [&](int y, int a, int b) {
        COLORREF* pixels = m_out.frameBuffer().row(y);
        if (contiguous) {
            const int first = columns[a - destinationLeft];
            const int from = std::max(a, a - first);
            const int to = std::min(b, a + imageWidth - first);
            if (from < to) {
                std::memcpy(pixels + from, colours + first + (from - a),
                            static_cast<size_t>(to - from) * sizeof(COLORREF));
            }
            return;
        }
        for (int x = a; x < b; ++x) {
            const int column = columns[x - destinationLeft];
            if (column >= 0 && column < imageWidth) {
                pixels[x] = colours[column];
            }
        }
    });
}

int DibStretcher::stretch(const SignedRect& destination, const SignedRect& source) {
    const int sizes[] = {destination.width, destination.height, source.width, source.height};
    const bool sizesOk = std::all_of(std::begin(sizes), std::end(sizes), [](int size) {
        return size != 0 && size > -kMaxDestinationSide && size < kMaxDestinationSide;
    });
    if (!sizesOk || !reasonable(destination.x) || !reasonable(destination.y) ||
        !reasonable(source.x) || !reasonable(source.y)) {
        return 0;
    }
    const int dw = std::abs(destination.width);
    const int dh = std::abs(destination.height);
    const int sw = std::abs(source.width);
    const int sh = std::abs(source.height);
    const int left = destination.width < 0 ? destination.x + destination.width : destination.x;
    const int top = destination.height < 0 ? destination.y + destination.height : destination.y;
    const int sourceLeft = source.width < 0 ? source.x + source.width : source.x;
    const int sourceBottomOrTop = source.height < 0 ? source.y + source.height : source.y;
    const int sourceTop = topRow(sourceBottomOrTop, sh);
    const bool mirrorX = (destination.width < 0) != (source.width < 0);
    const bool mirrorY = (destination.height < 0) != (source.height < 0);
    const std::vector<int> columns = sampleMap(dw, sourceLeft, sw, mirrorX);
    const std::vector<int> rows = sampleMap(dh, sourceTop, sh, mirrorY);
    const POINT origin = m_out.origin();
    for (int d = 0; d < dh; ++d) {
        drawRow(top + d + origin.y, left + origin.x, columns, rows[d]);
    }
    return sh;
}

int DibStretcher::copy(POINT destination, POINT source, int width, int height) {
    if (width <= 0 || height <= 0 || !reasonable(destination.x) || !reasonable(destination.y) ||
        !reasonable(source.x) || !reasonable(source.y)) {
        return 0;
    }
    width = std::min(width, kMaxDestinationSide);
    height = std::min(height, kMaxDestinationSide);
    std::vector<int> columns(static_cast<size_t>(width));
    for (int i = 0; i < width; ++i) {
        columns[i] = source.x + i;
    }
    const int sourceTop = topRow(source.y, height);
    const POINT origin = m_out.origin();
    for (int d = 0; d < height; ++d) {
        drawRow(destination.y + d + origin.y, destination.x + origin.x, columns, sourceTop + d);
    }
    return height;
}

} // namespace emu::gdi
