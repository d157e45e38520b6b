create table Departamentos (
  cod_dep integer not null primary key, nom_dep varchar(40), tipo_item varchar(5), com_dep varchar(5));
create table Mercadorias (
  cod_red integer not null primary key, nom_mer varchar(50), ape_cup varchar(30), cod_bar varchar(30),
  ref_mer varchar(30), dep_mer integer, uni_mer varchar(5), uni_bal varchar(5), pro_balanca char(1),
  pro_servico char(1), cod_ncm varchar(12), QTD_EST numeric(15,3), vlr_ven numeric(15,2), pro_ativo char(1));
commit;
