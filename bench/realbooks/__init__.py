"""Parts of bench/real-books: tables of contents, what the tools print, and the sets made here."""
