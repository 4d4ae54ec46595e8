// The write planner: facts per sector, then erase blocks chosen by cost from the largest type
// down, then the page programs.
#include "spiflash_plan.h"

#include <cstring>

namespace {

constexpr double kDefaultPageMs = 0.7;  // a common typical page program time

double EraseMs(const EraseType& type) {
    // Without the chip's figure: a common rate, 20 ms plus 2 ms per KiB.
    return type.typicalMs != 0 ? type.typicalMs : 20.0 + 2.0 * (type.size / 1024);
}

struct SectorFacts {
    bool needsErase = false;  // some bit must go from 0 to 1
    uint32_t differingPages = 0;
    uint32_t filledPages = 0;  // pages whose target is not all 0xFF
};

class Planner {
public:
    Planner(const FlashGeometry& g, const FlashRange& span, const uint8_t* current, const uint8_t* target)
        : m_g(g), m_span(span), m_current(current), m_target(target), m_sector(g.erases[0].size) {
        m_pageMs = g.pageProgramUs != 0 ? g.pageProgramUs / 1000.0 : kDefaultPageMs;
        for (uint32_t s = 0; s < span.length / m_sector; ++s) {
            m_facts.push_back(Facts(s * m_sector));
        }
    }

    WritePlan Plan() {
        WritePlan plan;
        plan.sectors = static_cast<uint32_t>(m_facts.size());
        const uint64_t end = uint64_t{m_span.address} + m_span.length;
        for (uint64_t at = m_span.address; at < end;) {
            size_t level = m_g.erases.size() - 1;
            while (level > 0 && (at % m_g.erases[level].size != 0 || at + m_g.erases[level].size > end)) {
                --level;
            }
            Best(level, static_cast<uint32_t>(at), plan.erases);
            at += m_g.erases[level].size;
        }
        std::vector<bool> erased(m_facts.size(), false);
        for (const EraseStep& step : plan.erases) {
            const uint32_t size = m_g.erases[step.type].size;
            for (uint32_t a = step.address; a < step.address + size; a += m_sector) {
                erased[(a - m_span.address) / m_sector] = true;
            }
            plan.bytesErased += size;
        }
        for (size_t s = 0; s < m_facts.size(); ++s) {
            const size_t before = plan.programs.size();
            ProgramSector(static_cast<uint32_t>(s) * m_sector, erased[s], plan);
            const bool touched = erased[s] || plan.programs.size() != before;
            plan.sectorsErased += erased[s] ? 1 : 0;
            plan.sectorsUnchanged += touched ? 0 : 1;
            if (touched) {
                const uint32_t address = m_span.address + static_cast<uint32_t>(s) * m_sector;
                if (!plan.verify.empty() && plan.verify.back().address + plan.verify.back().length == address) {
                    plan.verify.back().length += m_sector;
                } else {
                    plan.verify.push_back({address, m_sector});
                }
            }
        }
        return plan;
    }

private:
    SectorFacts Facts(uint32_t offset) const {
        SectorFacts f;
        for (uint32_t p = offset; p < offset + m_sector; p += m_g.pageSize) {
            const uint8_t* now = m_current + p;
            const uint8_t* want = m_target + p;
            bool filled = false;
            for (uint32_t i = 0; i < m_g.pageSize; ++i) {
                f.needsErase = f.needsErase || (now[i] & want[i]) != want[i];
                filled = filled || want[i] != 0xFF;
            }
            f.differingPages += std::memcmp(now, want, m_g.pageSize) != 0 ? 1 : 0;
            f.filledPages += filled ? 1 : 0;
        }
        return f;
    }

    // What erasing the sector costs beyond programming it as it stands: the pages that must be
    // written again after the erase, less those that would have been written anyway.
    double ExtraIfErased(size_t s) const {
        return (static_cast<double>(m_facts[s].filledPages) - m_facts[s].differingPages) * m_pageMs;
    }

    // The cheapest way to erase what must be erased in the block of erase type `level` at
    // address: the block whole, or its parts each in their cheapest way. Appends the steps;
    // returns their cost.
    double Best(size_t level, uint32_t address, std::vector<EraseStep>& steps) const {
        const uint32_t size = m_g.erases[level].size;
        const size_t first = (address - m_span.address) / m_sector;
        const size_t count = size / m_sector;
        bool any = false;
        double extra = 0;
        for (size_t s = first; s < first + count; ++s) {
            any = any || m_facts[s].needsErase;
            extra += ExtraIfErased(s);
        }
        if (!any) {
            return 0;
        }
        const double whole = EraseMs(m_g.erases[level]) + extra;
        if (level == 0) {
            steps.push_back({address, 0});
            return whole;
        }
        std::vector<EraseStep> parts;
        double split = 0;
        const uint32_t part = m_g.erases[level - 1].size;
        for (uint32_t a = address; a < address + size; a += part) {
            split += Best(level - 1, a, parts);
        }
        if (whole < split) {
            steps.push_back({address, level});
            return whole;
        }
        steps.insert(steps.end(), parts.begin(), parts.end());
        return split;
    }

    // The pages of the sector at offset (from the span's start) whose bytes differ from the
    // erased state or from what the chip holds, trimmed to the first and last byte that differ.
    void ProgramSector(uint32_t offset, bool erased, WritePlan& plan) const {
        for (uint32_t p = offset; p < offset + m_sector; p += m_g.pageSize) {
            uint32_t first = m_g.pageSize, last = 0;
            for (uint32_t i = 0; i < m_g.pageSize; ++i) {
                const uint8_t state = erased ? 0xFF : m_current[p + i];
                if (m_target[p + i] != state) {
                    first = first == m_g.pageSize ? i : first;
                    last = i;
                }
            }
            if (first != m_g.pageSize) {
                plan.programs.push_back({m_span.address + p + first, last - first + 1});
                plan.bytesProgrammed += last - first + 1;
            }
        }
    }

    const FlashGeometry& m_g;
    FlashRange m_span;
    const uint8_t* m_current;
    const uint8_t* m_target;
    uint32_t m_sector;
    double m_pageMs;
    std::vector<SectorFacts> m_facts;
};

}  // namespace

FlashRange SectorSpan(const FlashGeometry& geometry, uint32_t offset, uint32_t length) {
    const uint64_t sector = geometry.erases[0].size;
    const uint64_t start = offset / sector * sector;
    const uint64_t end = (uint64_t{offset} + length + sector - 1) / sector * sector;
    return {static_cast<uint32_t>(start), static_cast<uint32_t>(end - start)};
}

WritePlan PlanWrite(const FlashGeometry& geometry,
                    const FlashRange& span,
                    const uint8_t* current,
                    const uint8_t* target) {
    return Planner(geometry, span, current, target).Plan();
}
