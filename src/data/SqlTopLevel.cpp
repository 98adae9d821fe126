#include "data/SqlTopLevel.h"

bool SqlTopLevelReader::Next(SqlToken& token, SqlLevel& level) {
    if (!reader_.Next(token))
        return false;
    level = depth_.Take(reader_.IsPunct(token, u'('), reader_.IsPunct(token, u')'));
    return true;
}
