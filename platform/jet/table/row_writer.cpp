#include "platform/jet/table/row_writer.h"

#include "platform/jet/table/table_appender.h"

namespace jet::table {

Result<format::RowPointer> InsertRow(PageStore& store, PageAllocator& pages, uint32_t tdef_page,
                                     std::span<const Cell> cells) {
  JET_ASSIGN_OR_RETURN(appender, TableAppender::Open(store, pages, tdef_page));
  JET_ASSIGN_OR_RETURN(at, appender->Insert(cells));
  JET_TRY(appender->Finish());
  return at;
}

Status DeleteRow(PageStore& store, PageAllocator& pages, uint32_t tdef_page, format::RowPointer row) {
  JET_ASSIGN_OR_RETURN(appender, TableAppender::Open(store, pages, tdef_page));
  JET_TRY(appender->Delete(row));
  return appender->Finish();
}

}  // namespace jet::table
