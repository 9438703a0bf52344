#include "transferresult.h"

#include <QCoreApplication>

#include "ecmaster.h"

QString TransferResult::text() const {
    switch (status) {
        case Status::Ok:
            return QCoreApplication::translate("TransferResult", "ok");
        case Status::NotConnected:
            return QCoreApplication::translate("TransferResult", "not connected");
        case Status::Cancelled:
            return QCoreApplication::translate("TransferResult", "cancelled");
        case Status::Timeout:
            return reason.isEmpty()
                       ? QCoreApplication::translate("TransferResult", "no reply in time")
                       : reason;
        case Status::Aborted:
        case Status::Refused:
        case Status::Failed:
            break;
    }
    return reason.isEmpty() ? QCoreApplication::translate("TransferResult", "failed") : reason;
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
