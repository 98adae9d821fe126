#pragma once
// The commands that write business data: a header record from the form's fields, the changed
// rows of a detail grid, guarded statements on one record and free statement lists. They run
// inside the action's transaction, so any failure undoes everything the action wrote.
#include "form/XmlDocument.h"

class D_T1;

bool InsertHead(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool UpdateHead(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool InsertDetail(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool ResetDetail(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
// `check` asks again with the text its check query gives; `checkthis` with the fixed question.
bool Check(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool CheckThis(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool RunSql(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
