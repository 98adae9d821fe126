#pragma once
// What the update worker and the client download accept from the update server: only what the
// publisher signed with a key this client trusts, and no "latest version" answer signed earlier
// than the last one seen (kept beside the client in update.seen, one line per answer).
#include "app/UpdateServer.h"
#include "app/UpdateSignature.h"

#include <QList>

class UpdateTrust {
public:
    // Keys from exeFolder's cfg.ini or built in; download limits from the same cfg.ini.
    explicit UpdateTrust(const QString& exeFolder);

    bool HasKeys() const { return !keys_.isEmpty(); }
    // Why there is no key, for the update log.
    const QString& KeyProblem() const { return keyProblem_; }
    const DownloadLimits& Limits() const { return limits_; }

    // The server's short answer to `request` (a version), accepted only with its signature as
    // file `name` and signed no earlier than the last answer recorded under `seenAs`, which it
    // then becomes. An answer that is no short text is none (empty, `why` empty); a refused one
    // is empty with `why` set.
    QString SignedAnswer(const UpdateServer& server, const QString& request, const QString& name,
                         const QString& seenAs, QString& why) const;

    enum class Fetched {
        Ok,
        Failed,  // the file did not arrive whole
        Refused, // no signature came, or it is not the publisher's of these bytes
    };
    // Downloads `request` into `path`, and its signature into `path`.sig; Ok only when the
    // bytes are file `name` of `version` as the publisher signed them. Otherwise neither file
    // is left and `why` says what was wrong.
    Fetched SignedDownload(const UpdateServer& server, const QString& request, const QString& path,
                           const QString& name, const QString& version, QString& why) const;

    // The same for bytes from elsewhere (the account set) with their signature text.
    bool CheckBytes(const QByteArray& bytes, const QByteArray& signature, const QString& name,
                    const QString& version, QString& why) const;

private:
    QString exeFolder_;
    QList<QByteArray> keys_;
    QString keyProblem_;
    DownloadLimits limits_;
};

// The request that asks for the signature of `request`'s answer: the same with "sig=1" added.
QString SignatureRequest(const QString& request);
