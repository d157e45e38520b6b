#include "sync/run_texts.h"

#include "util/number_text.h"
#include "util/shell_texts.h"
#include "util/utf.h"

namespace {

constexpr std::size_t notice_title_capacity = 63;
constexpr std::size_t notice_text_capacity = 255;

std::u16string counted(long long count, std::u16string_view one, std::u16string_view many)
{
    return grouped_integer_text(count) + u" " + std::u16string(count == 1 ? one : many);
}

std::u16string committed_text(const ImportCounts& committed)
{
    return u"Página " + grouped_integer_text(committed.pages) + u" · " +
           counted(committed.inserted + committed.updated, u"produto gravado", u"produtos gravados") + u" · " +
           counted(committed.skipped, u"ignorado", u"ignorados");
}

std::u16string step_text(const RunProgress& progress)
{
    switch (progress.step) {
    case RunProgress::Step::querying_service: return u"Consultando o serviço…";
    case RunProgress::Step::writing_page: return u"Gravando página " + grouped_integer_text(progress.page) + u"…";
    case RunProgress::Step::page_committed: break;
    }
    return {};
}

}  // namespace

std::u16string progress_text(const RunProgress& progress)
{
    std::u16string text;
    if (progress.committed.pages > 0) text = committed_text(progress.committed);
    const std::u16string step = step_text(progress);
    if (!text.empty() && !step.empty()) text += u'\n';
    return text + step;
}

std::u16string skipped_text(const SkippedProduct& product)
{
    std::u16string text = product.codigo + u": ";
    const std::u16string_view reason = product.reason;
    for (std::size_t i = 0; i < reason.size(); ++i) {
        if (reason[i] != u'\r' && reason[i] != u'\n') {
            text += reason[i];
            continue;
        }
        if (reason[i] == u'\r' && i + 1 < reason.size() && reason[i + 1] == u'\n') ++i;
        text += u"; ";
    }
    return text;
}

std::u16string tray_tip_with_progress(std::u16string_view title, std::u16string_view progress)
{
    if (progress.empty()) return tray_tip_text(title);
    return tray_tip_text(std::u16string(title) + u'\n' + std::u16string(progress));
}

std::optional<EndNotice> end_notice(const RunEnd& end)
{
    const int skipped = end.committed.skipped;
    if (end.imported && skipped == 0) return std::nullopt;
    EndNotice notice;
    notice.failed = !end.imported;
    notice.title = notice.failed ? u"A importação não foi concluída" : u"Importação concluída com produtos ignorados";
    const std::u16string tail =
        u"\n" + counted(skipped, u"produto ignorado", u"produtos ignorados") + u". Detalhes em ConfigImporta.log";
    notice.text = first_units(end.outcome, notice_text_capacity - tail.size()) + tail;
    notice.title = first_units(notice.title, notice_title_capacity);
    return notice;
}

std::u16string grouped_integer_text(long long value)
{
    std::u16string digits = integer_to_text(value);
    std::u16string text;
    if (digits.front() == u'-') {
        text = u"-";
        digits.erase(0, 1);
    }
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += u'.';
        text += digits[i];
    }
    return text;
}
