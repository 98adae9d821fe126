#pragma once
// The query commands: they read the database (or the local text session) into fields, lists,
// grid headers, grids with paging, trees and the ten process-wide values A0..A9.
#include "form/XmlDocument.h"

class D_T1;

bool QueryToWnds(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool QueryToWnd(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool QueryToList(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool QueryToLists(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool QueryToLists2(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool QueryToHead(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool QueryToMain(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool QueryTree(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool QueryToTreeHead(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool QueryToTable(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool SelectInto(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool SelectInfoTable(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool ClickPage(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
bool SelectInfoTree(D_T1& form, const ZUDad::CXmlNode& command, int windowId);
