// The program's version and names, for the exe's version block and for the program itself.
// Plain macros: the resource compiler reads this file too.
#pragma once

#define TAVRIN_VERSION_NUMBERS 1, 0, 0, 0
#define TAVRIN_VERSION_TEXT "1.00"
#define TAVRIN_COMPANY_NAME "Corvane 工作室"
#define TAVRIN_CONTACT "tavrin@corvane.example"
#define TAVRIN_PRODUCT_NAME "Corvane"
#define TAVRIN_INTERNAL_NAME "Tavrin"
#define TAVRIN_ORIGINAL_FILENAME "Tavrin.exe"
