#!/usr/bin/python3
"""Writes demo/templates/stock.xlsx, the spreadsheet template of the demo's 库存查询 export:
a company header, the export's total at the top (so it holds for any number of rows), a styled
header row on row 3 and number formats for the data columns from row 4.

Run it with the system's Python (python3-openpyxl): /usr/bin/python3 scripts/make-demo-template.py
"""
import os
import openpyxl
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side

wb = openpyxl.Workbook()
ws = wb.active
ws.title = 'Sheet1'

ws.merge_cells('A1:H1')
ws['A1'] = '示范商贸有限公司  库存报表'
ws['A1'].font = Font(name='微软雅黑', bold=True, size=16, color='1F3864')
ws['A1'].alignment = Alignment(horizontal='center', vertical='center')
ws.row_dimensions[1].height = 30

ws['F2'] = '库存金额合计'
ws['F2'].font = Font(bold=True)
ws.merge_cells('F2:G2')
ws['F2'].alignment = Alignment(horizontal='right')
ws['H2'] = '=SUM(H4:H100000)'
ws['H2'].font = Font(bold=True, color='C00000')
ws['H2'].number_format = '#,##0.00'

thin = Side(style='thin', color='7F7F7F')
titles = ['序号', '编码', '名称', '规格', '单位', '库存', '进价', '库存金额']
widths = [7, 10, 22, 28, 7, 10, 10, 14]
for i, (title, width) in enumerate(zip(titles, widths), start=1):
    cell = ws.cell(row=3, column=i, value=title)
    cell.font = Font(bold=True, color='FFFFFF')
    cell.fill = PatternFill('solid', fgColor='2F5597')
    cell.alignment = Alignment(horizontal='center')
    cell.border = Border(top=thin, bottom=thin, left=thin, right=thin)
    ws.column_dimensions[cell.column_letter].width = width
for letter, fmt in (('F', '#,##0.##'), ('G', '#,##0.00'), ('H', '#,##0.00')):
    ws.column_dimensions[letter].number_format = fmt
ws.freeze_panes = 'A4'
# Printed across one page, in landscape, with the header row on every page.
ws.page_setup.orientation = 'landscape'
ws.page_setup.paperSize = ws.PAPERSIZE_A4
ws.sheet_properties.pageSetUpPr.fitToPage = True
ws.page_setup.fitToWidth = 1
ws.page_setup.fitToHeight = 0
ws.print_title_rows = '3:3'

notes = wb.create_sheet('说明')
notes['A1'] = '本模板由 库存查询 的“导出Excel”使用：数据从第 4 行写入，第 2 行的合计随数据重新计算。'

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'demo', 'templates',
                   'stock.xlsx')
wb.save(out)
