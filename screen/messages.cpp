#include "screen/messages.h"

#include "sentences/sentences.h"

namespace {

std::string Error(std::string_view sentence) {
    return "   ERROR - " + std::string(sentence);
}

}  // namespace

std::string RefusalMessage(HeaderCode code) {
    if (code == HeaderCode::Accepted) return {};
    return Error(RefusalText(code));
}

std::string OutcomeMessage(ConversionOutcome outcome) {
    if (outcome == ConversionOutcome::Finished) return std::string(JobFinishedMessage);
    return Error(OutcomeText(outcome));
}
