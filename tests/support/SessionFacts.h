#pragma once
// Tests play the owners of the session's facts: a start-up or a login that changes one fact and
// keeps the others.
#include "data/SessionContext.h"

template <typename Change> void ChangeStartUp(SessionContext& session, Change change) {
    SessionContext::StartUp facts = session.StartUpFacts();
    change(facts);
    session.ApplyStartUp(facts);
}

template <typename Change> void ChangeUser(SessionContext& session, Change change) {
    SessionContext::User user = session.LoggedInUser();
    change(user);
    session.ApplyLogin(user);
}
