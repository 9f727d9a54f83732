-- Demo tables for trying Pelmora: a few tables of mixed types and awkward values.
CREATE TABLE customers (
  id integer PRIMARY KEY,
  name varchar(80) NOT NULL,
  city text,
  signed_up date,
  vip boolean
);
INSERT INTO customers VALUES
  (1, 'Ada Lovelace', 'London', '2021-08-31', true),
  (2, 'Seán O''Brien', 'Dublin', '2020-02-29', false),
  (3, 'Zoë Müller', NULL, NULL, NULL),
  (4, 'Grace Hopper', 'Arlington', '1999-12-31', true);

CREATE TABLE orders (
  id integer PRIMARY KEY,
  customer_id integer,
  placed_at timestamp,
  total numeric(12,2),
  weight real,
  notes text
);
INSERT INTO orders VALUES
  (100, 1, '2021-08-31 14:05:00', 1234.50, 2.5, 'First order'),
  (101, 2, '2021-09-01 00:00:00', 19.99, 0.25, E'Line one\r\nLine two'),
  (102, 4, '2022-01-15 09:30:15.25', -5.00, NULL, ''),
  (103, 3, NULL, NULL, 1e10, 'Quote: "yes" and ''no''');

CREATE TABLE measurements (
  sensor varchar(20),
  taken timestamptz,
  value double precision,
  ok boolean
);
INSERT INTO measurements
SELECT 'sensor-' || (i % 5), timestamp '2024-01-01' + i * interval '1 hour', i * 0.1, i % 3 = 0
FROM generate_series(1, 500) AS i;

CREATE TABLE empty_table (id integer, label text);
