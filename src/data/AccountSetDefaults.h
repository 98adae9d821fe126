#pragma once
// Facts of a newly created account set that the client states to its users.

// The administrator's password on a new account set (stated by the login messages).
inline constexpr char kDefaultAdminPassword[] = "1";
