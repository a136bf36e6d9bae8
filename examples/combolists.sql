-- The example database of the combo-list server: a few lists as a client
-- program of the suite would show them in its combo boxes.
-- scripts/make-example-db turns this file into examples/combolists.db.

CREATE TABLE Kunden (
  Nr      INTEGER PRIMARY KEY,
  Name    TEXT NOT NULL,
  Ort     TEXT,
  Aktiv   INTEGER NOT NULL DEFAULT 1
);

INSERT INTO Kunden (Nr, Name, Ort, Aktiv) VALUES
  (1001, 'Bäckerei Öztürk', 'Köln', 1),
  (1002, 'Müller & Söhne', 'München', 1),
  (1003, 'Weingut Straßer', 'Würzburg', 0),
  (1004, 'Zahnarztpraxis Dr. Łukasz', 'Görlitz', 1),
  (1005, 'Café Åkesson', 'Flensburg', 1);

CREATE TABLE Zahlungsarten (
  Kuerzel TEXT PRIMARY KEY,
  Bezeichnung TEXT NOT NULL
);

INSERT INTO Zahlungsarten (Kuerzel, Bezeichnung) VALUES
  ('BAR', 'Barzahlung'),
  ('UEB', 'Überweisung'),
  ('LAS', 'Lastschrift'),
  ('RCH', 'Rechnung, 30 Tage netto');

CREATE TABLE Artikel (
  ArtNr   INTEGER PRIMARY KEY,
  Bezeichnung TEXT NOT NULL,
  Preis   REAL,
  Gruppe  TEXT
);

INSERT INTO Artikel (ArtNr, Bezeichnung, Preis, Gruppe) VALUES
  (501, 'Lizenz TRX Basis', 1290.0, 'Software'),
  (502, 'Lizenz TRX Lager', 790.5, 'Software'),
  (601, 'Schulung (Tag)', 950.0, 'Dienstleistung'),
  (602, 'Einrichtung vor Ort', NULL, 'Dienstleistung');
