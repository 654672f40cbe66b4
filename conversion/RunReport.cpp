#include "conversion/RunReport.h"

namespace tessaly {

std::vector<std::pair<FailureKind, std::vector<MessageFailure>>> RunReport::failuresByKind() const
{
    std::vector<std::pair<FailureKind, std::vector<MessageFailure>>> groups;
    for (const FailureKind kind : kAllFailureKinds) {
        std::vector<MessageFailure> ofKind;
        for (const MessageFailure &failure : failedMessages) {
            if (failure.error.kind == kind)
                ofKind.push_back(failure);
        }
        if (!ofKind.empty())
            groups.emplace_back(kind, std::move(ofKind));
    }
    return groups;
}

} // namespace tessaly
