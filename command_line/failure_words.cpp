#include "command_line/failure_words.h"

#include "command_line/verdict_words.h"
#include "files/channels.h"
#include "files/file_error.h"

namespace {

constexpr std::string_view ChangedCause = "changed while it was read";
constexpr std::string_view SentCause = "; the lines before it were already sent";

std::string WithPath(std::uint8_t error, std::string_view path) {
    std::string cause(FailureCause(error));
    if (!path.empty()) cause += ": " + std::string(path);
    return cause;
}

}  // namespace

FailureWords LongNameWords() {
    return FailureWords{.Sentence = std::string(RefusalText(HeaderCode::NotFound)),
                        .Cause = "name longer than " + std::to_string(ChannelNameLimit) + " bytes"};
}

FailureWords RefusalWords(const HeaderVerdict& verdict, int channel) {
    if (verdict.Code == HeaderCode::NoSuchChannel) {
        return FailureWords{.Sentence = AbsentChannelText(channel), .Cause = RefusalCause(verdict)};
    }
    return FailureWords{.Sentence = std::string(RefusalText(verdict.Code)),
                        .Cause = RefusalCause(verdict)};
}

std::string ConversionCause(ConversionOutcome outcome, const ConversionFailure& failure,
                            std::string_view waveName) {
    std::string cause;
    switch (outcome) {
        case ConversionOutcome::ReadFailed:
            cause = failure.Changed ? std::string(ChangedCause) : WithPath(failure.Error, waveName);
            break;
        case ConversionOutcome::WriteFailed:
            cause = WithPath(failure.Error, failure.Path);
            break;
        case ConversionOutcome::NotANumber:
            return "sample " + std::to_string(failure.Sample);
        case ConversionOutcome::Finished:
        case ConversionOutcome::TooLarge:
        case ConversionOutcome::OutputClosed:
            return {};
    }
    // Lines that already went to standard output cannot be called back.
    if (failure.LinesSent) cause += SentCause;
    return cause;
}
