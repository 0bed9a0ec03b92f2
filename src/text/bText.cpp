// Placeholder: the analysis arrives with the tagged-text work.
#include "text/bText.h"

namespace paginor {

TBookText::TBookText(const std::u16string& sourceText, const TBookConfig& config)
    : Length(static_cast<int32_t>(sourceText.size())), Config(&config), Text(sourceText),
      Head(config.TextHead), Tail(config.TextTail) {
    if (Length == 0) throw TBookError("Length of source text is 0");
}

TBookText::TBookText(const TBookConfig& config)
    : Config(&config), Head(config.TextHead), Tail(config.TextTail) {}

std::u16string TBookText::FullText() const {
    return Head + Text.substr(0, TocPosition) + TocText + Text.substr(TocPosition) + Tail;
}

void TBookText::ResolveFinalPositions() {}
std::u16string TBookText::BuildCharset() const {
    return {};
}
void TBookText::FormatText() {}
bool TBookText::IsMultipart() const {
    return false;
}
std::vector<TBookText> TBookText::SplitIntoParts() const {
    return {};
}

} // namespace paginor
