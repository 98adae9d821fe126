#pragma once
// The publisher's side of signed updates: the key pair, and signatures of the files the update
// server serves (FILE.sig beside each FILE).
#include <QString>

// Writes a new key pair into `folder`: update.key (the private key, readable by its owner only)
// and update.pub (the public key, the value of cfg.ini [UPDATE] PUBLIC_KEY). Never overwrites.
bool MakeUpdateKey(const QString& folder, QString& publicKey, QString& error);

// Signs `path` with the private key in `keyPath` as version `version` (empty: the file's own
// text, for a version answer such as client-version.txt) and writes path.sig. `usedVersion` is
// the version signed.
bool SignUpdateFile(const QString& keyPath, const QString& path, const QString& version,
                    QString& usedVersion, QString& error);
