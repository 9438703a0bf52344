#include "transferresult.h"

#include "ecmaster.h"

QString TransferResult::text() const {
    switch (status) {
        case Status::Ok:
            return QStringLiteral("ok");
        case Status::NotConnected:
            return QStringLiteral("not connected");
        case Status::Cancelled:
            return QStringLiteral("cancelled");
        case Status::Timeout:
            return reason.isEmpty() ? QStringLiteral("no reply in time") : reason;
        case Status::Aborted:
        case Status::Refused:
        case Status::Failed:
            break;
    }
    return reason.isEmpty() ? QStringLiteral("failed") : reason;
}

int parameterCode(const TransferResult& result) {
    switch (result.status) {
        case TransferResult::Status::Ok:
            return kParamOk;
        case TransferResult::Status::NotConnected:
            return kParamNotConnected;
        default:
            return kParamFailed;
    }
}

TransferResult refusalResult(int parameterCode) {
    return TransferResult::failure(parameterCode == kParamNotConnected
                                       ? TransferResult::Status::NotConnected
                                       : TransferResult::Status::Refused);
}
