#pragma once
// Files in binary fields of the account set: a document attached to a record (with its name and
// an upload log), a picture in the record a query selects, and a stored file fetched into a
// folder beside the program. What these write runs inside the action's transaction.
#include "form/XmlDocument.h"

#include <QByteArray>
#include <QString>

#include <optional>

class DbSession;
class CommandContext;
struct CommandResult;

inline constexpr qint64 kAttachmentLimit = 2 * 1024 * 1024;

// The whole file; false, with a message naming it, when it cannot be read.
bool ReadWholeFile(const QString& path, QByteArray& bytes, QString& error);
// Creates or replaces the file with `bytes`; false with a message when it cannot be written.
bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString& error);

// Reads the file off the interface thread (a large file does not freeze the forms).
bool ReadFileForForm(CommandContext& form, const QString& path, QByteArray& bytes, QString& error);

// The upload log statement of a database kind (1 SQL Server): name, user and key bound.
QString UploadLogSql(int kind, const QString& table, const QString& nameColumn);

// The file into the content column of record `key` of `table`, then the upload log (name, date,
// user) into the same record. ErrorText says why it failed.
bool StoreAttachment(CommandContext& form, CommandResult& result, const QString& path,
                     const QString& fileName, const QString& table, const QString& nameColumn,
                     const QString& contentColumn, const QString& key);
// The file into the content column of the first record `sql` selects, at most `limitMiB` MiB.
bool StoreFileInField(CommandContext& form, CommandResult& result, const QString& path,
                      const QString& sql, const QString& contentColumn, int limitMiB);
// The stored file of record `key` written into `folder` beside the program (created when
// missing, a file of the same name replaced); its name, or nothing when there is none.
// `failureCaption` is the caption of the message shown when the content cannot be read or
// written. A record that holds no file fails `result` with `nothingStored`; a failed lookup
// with the session's message.
std::optional<QString> FetchAttachment(CommandContext& form, CommandResult& result,
                                       const QString& table, const QString& nameColumn,
                                       const QString& contentColumn, const QString& key,
                                       const QString& folder, const QString& failureCaption,
                                       const QString& nothingStored);
// The SQL text of upload_pic and download_pic: `values` with the key of `table_id`'s selected
// row and the `para_info_where` filters bound in (each filter's control must exist), expanded.
bool BindPictureSql(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                    QString& sql);
// The key of the first selected row of the grid `table_id` (a plain id), when it is a record
// key (a whole number); nothing otherwise.
std::optional<QString> SelectedRecordKey(CommandContext& form, int tableId);
