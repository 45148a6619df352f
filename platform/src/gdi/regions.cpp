// gdi/regions.cpp: regions as horizontal bands, each a sorted list of disjoint spans, the
// bands sorted and disjoint. A union with a rectangle splits the bands at its top and
// bottom, merges its span into the bands it covers and fills the gaps with new bands, so
// building a shape row by row (a run per rectangle) stays cheap. Equal bands that touch
// are merged only when the rectangles are read. Any thread: one lock for every region.
#include "gdi/regions.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "kernel/diag.h"
#include "platform/gdi.h"

namespace {

using Span = std::pair<LONG, LONG>;  // [left, right)

struct Band {
    LONG top, bottom;
    std::vector<Span> spans;
};

struct Region {
    std::vector<Band> bands;
};

std::mutex& g_lock = *new std::mutex;                    // never destroyed
std::map<HRGN, Region>& g_regions = *new std::map<HRGN, Region>;

Region* Find(HRGN region) {
    auto it = g_regions.find(region);
    return it == g_regions.end() ? nullptr : &it->second;
}

HRGN Add(Region region) {
    HRGN handle = new HRGN__{};
    g_regions.emplace(handle, std::move(region));
    return handle;
}

void MergeSpan(std::vector<Span>* spans, Span span) {
    std::vector<Span> merged;
    merged.reserve(spans->size() + 1);
    bool placed = false;
    for (const Span& s : *spans) {
        if (s.second < span.first) {
            merged.push_back(s);
        } else if (s.first > span.second) {
            if (!placed) merged.push_back(span);
            placed = true;
            merged.push_back(s);
        } else {
            span = {std::min(span.first, s.first), std::max(span.second, s.second)};
        }
    }
    if (!placed) merged.push_back(span);
    spans->swap(merged);
}

// Makes y a band boundary when it lies inside a band.
void SplitAt(Region* r, LONG y) {
    for (size_t i = 0; i < r->bands.size(); i++) {
        Band& b = r->bands[i];
        if (b.top < y && y < b.bottom) {
            Band lower = b;
            lower.top = y;
            b.bottom = y;
            r->bands.insert(r->bands.begin() + static_cast<ptrdiff_t>(i) + 1, std::move(lower));
            return;
        }
        if (b.top >= y) return;
    }
}

void OrRect(Region* r, LONG left, LONG top, LONG right, LONG bottom) {
    if (left >= right || top >= bottom) return;
    SplitAt(r, top);
    SplitAt(r, bottom);
    auto& bands = r->bands;
    size_t i = std::lower_bound(bands.begin(), bands.end(), top,
                                [](const Band& b, LONG y) { return b.bottom <= y; }) -
               bands.begin();
    LONG y = top;
    while (y < bottom) {
        if (i < bands.size() && bands[i].top <= y) {
            MergeSpan(&bands[i].spans, {left, right});
            y = bands[i].bottom;
        } else {
            LONG end = i < bands.size() ? std::min(bands[i].top, bottom) : bottom;
            bands.insert(bands.begin() + static_cast<ptrdiff_t>(i), Band{y, end, {{left, right}}});
            y = end;
        }
        i++;
    }
}

// The bands with touching equal neighbours merged.
std::vector<Band> Coalesced(const Region& r) {
    std::vector<Band> out;
    for (const Band& b : r.bands) {
        if (!out.empty() && out.back().bottom == b.top && out.back().spans == b.spans)
            out.back().bottom = b.bottom;
        else
            out.push_back(b);
    }
    return out;
}

int KindOf(const Region& r) {
    std::vector<Band> bands = Coalesced(r);
    if (bands.empty()) return NULLREGION;
    return bands.size() == 1 && bands[0].spans.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

namespace gdi {

bool DeleteRegion(HGDIOBJ object) {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_regions.find(static_cast<HRGN>(object));
    if (it == g_regions.end()) return false;
    HRGN handle = it->first;
    g_regions.erase(it);
    delete handle;
    return true;
}

HRGN CopyRegion(HRGN region) {
    std::lock_guard<std::mutex> hold(g_lock);
    Region* r = Find(region);
    return r ? Add(*r) : nullptr;
}

bool RegionRects(HRGN region, std::vector<RECT>* rects) {
    std::lock_guard<std::mutex> hold(g_lock);
    rects->clear();
    Region* r = Find(region);
    if (!r) return false;
    for (const Band& b : Coalesced(*r))
        for (const Span& s : b.spans) rects->push_back({s.first, b.top, s.second, b.bottom});
    return true;
}

}  // namespace gdi

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    Region region;
    OrRect(&region, left, top, right, bottom);
    std::lock_guard<std::mutex> hold(g_lock);
    return Add(std::move(region));
}

int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode) {
    std::lock_guard<std::mutex> hold(g_lock);
    Region* out = Find(destination);
    Region* a = Find(source1);
    if (!out || !a) return kernel::Fail(ERROR_INVALID_HANDLE, ERROR);
    Region result = *a;
    if (mode == RGN_OR) {
        Region* b = Find(source2);
        if (!b) return kernel::Fail(ERROR_INVALID_HANDLE, ERROR);
        for (const Band& band : b->bands)
            for (const Span& s : band.spans) OrRect(&result, s.first, band.top, s.second, band.bottom);
    } else if (mode != RGN_COPY) {
        return kernel::Fail(ERROR_INVALID_PARAMETER, ERROR);
    }
    *out = std::move(result);
    return KindOf(*out);
}

namespace ptest {

bool GetRegionRects(HRGN region, std::vector<RECT>* rects) { return gdi::RegionRects(region, rects); }

}  // namespace ptest
