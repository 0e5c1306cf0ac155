#include "resources/tools/Rle8Encoder.h"

#include <algorithm>

namespace cliptool {

namespace {
constexpr int kMaxRun = 255;
constexpr int kMinRepeat = 3;
// Unchanged pixels shorter than this inside a changed stretch are sent again
// rather than jumped over: a jump costs four bytes.
constexpr int kShortGap = 4;
} // namespace

uint8_t Rle8Encoder::storagePixel(int x, int row) const {
    return m_picture.at(x, m_picture.height - 1 - row);
}

int Rle8Encoder::runLength(int row, int from, int right) const {
    int length = 1;
    while (from + length < right && length < kMaxRun &&
           storagePixel(from + length, row) == storagePixel(from, row)) {
        ++length;
    }
    return length;
}

void Rle8Encoder::literals(int row, int from, int count) {
    if (count < kMinRepeat) {
        // Absolute mode needs three pixels at least; shorter stretches go as runs of one.
        for (int i = 0; i < count; ++i) {
            m_out.push_back(1);
            m_out.push_back(storagePixel(from + i, row));
        }
        return;
    }
    m_out.push_back(0);
    m_out.push_back(static_cast<uint8_t>(count));
    for (int i = 0; i < count; ++i) {
        m_out.push_back(storagePixel(from + i, row));
    }
    if (count % 2 != 0) {
        m_out.push_back(0);
    }
}

void Rle8Encoder::span(int row, int left, int right) {
    int x = left;
    while (x < right) {
        int run = runLength(row, x, right);
        if (run >= kMinRepeat) {
            m_out.push_back(static_cast<uint8_t>(run));
            m_out.push_back(storagePixel(x, row));
            x += run;
            continue;
        }
        int start = x;
        while (x < right && x - start < kMaxRun && runLength(row, x, right) < kMinRepeat) {
            ++x;
        }
        literals(row, start, x - start);
    }
    m_x = right;
}

void Rle8Encoder::endOfLine() {
    m_out.push_back(0);
    m_out.push_back(0);
    m_x = 0;
    ++m_row;
}

void Rle8Encoder::moveTo(int x, int row) {
    if (row > m_row && x < m_x) {
        endOfLine();
    }
    while (x > m_x || row > m_row) {
        int dx = std::min(x - m_x, kMaxRun);
        int dy = std::min(row - m_row, kMaxRun);
        m_out.push_back(0);
        m_out.push_back(2);
        m_out.push_back(static_cast<uint8_t>(dx));
        m_out.push_back(static_cast<uint8_t>(dy));
        m_x += dx;
        m_row += dy;
    }
}

void Rle8Encoder::finish() {
    m_out.push_back(0);
    m_out.push_back(1);
}

std::vector<uint8_t> Rle8Encoder::keyFrame(const Picture& picture) {
    Rle8Encoder encoder(picture);
    for (int row = 0; row < picture.height; ++row) {
        encoder.span(row, 0, picture.width);
        if (row + 1 < picture.height) {
            encoder.endOfLine();
        }
    }
    encoder.finish();
    return encoder.m_out;
}

std::vector<uint8_t> Rle8Encoder::deltaFrame(const Picture& before, const Picture& picture) {
    Rle8Encoder encoder(picture);
    auto changed = [&](int x, int row) {
        int y = picture.height - 1 - row;
        return before.at(x, y) != picture.at(x, y);
    };
    for (int row = 0; row < picture.height; ++row) {
        int x = 0;
        while (x < picture.width) {
            if (!changed(x, row)) {
                ++x;
                continue;
            }
            int right = x + 1;
            int lastChange = x;
            while (right < picture.width && right - lastChange <= kShortGap) {
                if (changed(right, row)) {
                    lastChange = right;
                }
                ++right;
            }
            encoder.moveTo(x, row);
            encoder.span(row, x, lastChange + 1);
            x = lastChange + 1;
        }
    }
    encoder.finish();
    return encoder.m_out;
}

} // namespace cliptool
