#include "history/sql_connection.h"

namespace history {

bool IsPostgresAddress(std::string_view where) {
    return where.starts_with("postgresql://") || where.starts_with("postgres://") ||
           where.find('=') != std::string_view::npos;
}

WriteTransaction::~WriteTransaction() {
    if (m_done) return;
    try {
        m_db.Rollback();
    } catch (const DatabaseError&) {
        // The connection is gone: the database rolls back by itself.
    }
}

}  // namespace history
